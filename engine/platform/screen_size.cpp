#include "platform/screen_size.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <X11/Xlib.h>
#endif

namespace pixpipe {

#ifdef _WIN32

ScreenSize readPrimaryScreenSize() {
    SetProcessDPIAware();
    ScreenSize size;
    size.width = GetSystemMetrics(SM_CXSCREEN);
    size.height = GetSystemMetrics(SM_CYSCREEN);
    return size;
}

#else

// The default screen of the display named by DISPLAY.
ScreenSize readPrimaryScreenSize() {
    ScreenSize size;
    Display *display = XOpenDisplay(nullptr);
    if (!display)
        return size;
    int screen = DefaultScreen(display);
    size.width = DisplayWidth(display, screen);
    size.height = DisplayHeight(display, screen);
    XCloseDisplay(display);
    return size;
}

#endif

} // namespace pixpipe
