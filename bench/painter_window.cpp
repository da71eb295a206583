#include "painter_window.h"

#include <csignal>
#include <cstdio>

namespace bench {

namespace {

volatile std::sig_atomic_t stopFlag = 0;

void requestStop(int) {
    stopFlag = 1;
}

} // namespace

bool openPainterScreen(const char *program, PainterScreen &painter) {
    painter.display = XOpenDisplay(nullptr);
    if (!painter.display) {
        std::fprintf(stderr, "%s: cannot open the X display\n", program);
        return false;
    }
    painter.screen = DefaultScreen(painter.display);
    painter.width = DisplayWidth(painter.display, painter.screen);
    painter.height = DisplayHeight(painter.display, painter.screen);
    return true;
}

Window mapPainterWindow(Display *display, int width, int height, unsigned long background) {
    const int screen = DefaultScreen(display);
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.background_pixel = background;
    const Window window =
        XCreateWindow(display, RootWindow(display, screen), 0, 0, width, height, 0, CopyFromParent,
                      InputOutput, CopyFromParent, CWOverrideRedirect | CWBackPixel, &attributes);
    XMapRaised(display, window);
    return window;
}

void stopOnSignals() {
    std::signal(SIGTERM, requestStop);
    std::signal(SIGINT, requestStop);
}

bool stopRequested() {
    return stopFlag != 0;
}

} // namespace bench
