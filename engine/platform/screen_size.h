// The primary screen's size in physical pixels.
#pragma once

namespace pixpipe {

struct ScreenSize {
    int width = 0;
    int height = 0;
};

// Makes the process DPI-aware (Windows) and reads the primary screen size.
// Width and height are 0 when no screen can be read.
ScreenSize readPrimaryScreenSize();

} // namespace pixpipe
