// What the bench's screen painters share: a borderless window at the top left
// of the X screen that no window manager moves or decorates, and an end on
// SIGTERM or SIGINT.
#pragma once

#include <X11/Xlib.h>

namespace bench {

// The default screen of the X display named by DISPLAY, and its size.
struct PainterScreen {
    Display *display = nullptr;
    int screen = 0;
    int width = 0;
    int height = 0;
};

// Opens the display into painter; false, after saying so on standard error
// under the program's name, when it cannot be opened.
bool openPainterScreen(const char *program, PainterScreen &painter);

// Maps a borderless window of width x height at the top left of the default
// screen, filled with background, above every other window.
Window mapPainterWindow(Display *display, int width, int height, unsigned long background);

// From now on SIGTERM and SIGINT make stopRequested() true.
void stopOnSignals();
bool stopRequested();

} // namespace bench
