// window-video: paints a still desktop of text across the whole X screen with
// one window of moving colour bands in the middle (640x360 on a 1920x1080
// screen), as when a video plays in a window beside documents. The bands
// move 30 times a second, so every captured picture differs from the last
// in that window only. Prints "ready" once the desktop is painted; ends on
// SIGTERM or SIGINT.
#include "painter_window.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

namespace {

constexpr auto kRepaintInterval = std::chrono::microseconds(33333);
constexpr int kBandWidth = 40;
constexpr unsigned long kBandColours[] = {0xd03030, 0x30a040, 0x3050d0, 0xe0c020,
                                          0x20b0c0, 0xa040b0, 0xf08020, 0x808080};

void paintText(Display *display, Window window, GC ink, int width, int height) {
    const std::string words = "The quick brown fox jumps over the lazy dog; 0123456789 "
                              "pack my box with five dozen liquor jugs. ";
    for (int line = 0; 14 * (line + 1) < height; ++line) {
        std::string text;
        while (static_cast<int>(text.size()) * 6 < width)
            text += words.substr(static_cast<size_t>(line * 7) % words.size()) + words;
        XDrawString(display, window, ink, 4, 14 * (line + 1), text.c_str(),
                    static_cast<int>(text.size()));
    }
}

} // namespace

int main() {
    bench::PainterScreen painter;
    if (!bench::openPainterScreen("window-video", painter))
        return 1;
    const int width = painter.width;
    const int height = painter.height;
    const int videoWidth = 640 * height / 1080;
    const int videoHeight = 360 * height / 1080;
    const int videoLeft = (width - videoWidth) / 2;
    const int videoTop = (height - videoHeight) / 2;

    const Window window = bench::mapPainterWindow(painter.display, width, height,
                                                  WhitePixel(painter.display, painter.screen));
    GC ink = XCreateGC(painter.display, window, 0, nullptr);
    GC band = XCreateGC(painter.display, window, 0, nullptr);
    XSetForeground(painter.display, ink, BlackPixel(painter.display, painter.screen));
    XSync(painter.display, False);

    bench::stopOnSignals();

    // The text is painted once; only the window of bands is painted again.
    paintText(painter.display, window, ink, width, height);
    bool first = true;
    auto next = std::chrono::steady_clock::now();
    for (int shift = 0; !bench::stopRequested(); shift += 7) {
        // Upright bands of colour sliding to the right: every row of the
        // window changes at every repaint.
        const int offset = shift % kBandWidth;
        for (int k = -1; k * kBandWidth + offset < videoWidth; ++k) {
            const int left = std::max(0, k * kBandWidth + offset);
            const int right = std::min(videoWidth, (k + 1) * kBandWidth + offset);
            const int colour = ((k - shift / kBandWidth) % 8 + 8) % 8;
            XSetForeground(painter.display, band, kBandColours[colour]);
            XFillRectangle(painter.display, window, band, videoLeft + left, videoTop,
                           static_cast<unsigned>(right - left), static_cast<unsigned>(videoHeight));
        }
        XSync(painter.display, False);
        if (first) {
            std::printf("ready\n");
            std::fflush(stdout);
            first = false;
        }
        next += kRepaintInterval;
        const auto now = std::chrono::steady_clock::now();
        if (next < now)
            next = now;
        std::this_thread::sleep_until(next);
    }
    XCloseDisplay(painter.display);
    return 0;
}
