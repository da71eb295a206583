// barcode-clock: paints the wall-clock time as a barcode (see barcode_clock.h)
// in a borderless window across the top of the X screen, repainting every
// 5 ms, so that a picture captured from the screen carries the time it was
// taken, late by at most one repaint interval. Prints "ready" after the first
// repaint and, when ended by SIGTERM or SIGINT, one JSON line with the
// repaint intervals it achieved: that is the error bound of the latency read
// back from the pictures.
#include "barcode_clock.h"
#include "painter_window.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

constexpr auto kRepaintInterval = std::chrono::microseconds(5000);

double percentile(std::vector<double> values, double fraction) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(fraction * (values.size() - 1))];
}

} // namespace

int main() {
    bench::PainterScreen painter;
    if (!bench::openPainterScreen("barcode-clock", painter))
        return 1;
    const int width = painter.width;
    const int height = bench::kBarcodeRowsOf1080 * painter.height / 1080;

    const Window window = bench::mapPainterWindow(painter.display, width, height,
                                                  BlackPixel(painter.display, painter.screen));
    GC white = XCreateGC(painter.display, window, 0, nullptr);
    GC black = XCreateGC(painter.display, window, 0, nullptr);
    XSetForeground(painter.display, white, WhitePixel(painter.display, painter.screen));
    XSetForeground(painter.display, black, BlackPixel(painter.display, painter.screen));

    bench::stopOnSignals();

    std::vector<double> intervalsMs;
    auto next = std::chrono::steady_clock::now();
    auto lastPaint = next;
    bool first = true;
    while (!bench::stopRequested()) {
        const bench::BarcodeCells cells = bench::encodeBarcode(bench::wallClockMs());
        for (int cell = 0; cell < bench::kBarcodeCells; ++cell) {
            const int left = cell * width / bench::kBarcodeCells;
            const int right = (cell + 1) * width / bench::kBarcodeCells;
            XFillRectangle(painter.display, window, cells[cell] ? white : black, left, 0,
                           static_cast<unsigned>(right - left), static_cast<unsigned>(height));
        }
        // Wait until the server has drawn it, so the painted time is on the glass.
        XSync(painter.display, False);
        const auto now = std::chrono::steady_clock::now();
        if (first) {
            std::printf("ready\n");
            std::fflush(stdout);
            first = false;
        } else {
            intervalsMs.push_back(
                std::chrono::duration<double, std::milli>(now - lastPaint).count());
        }
        lastPaint = now;
        next += kRepaintInterval;
        if (next < now)
            next = now;
        std::this_thread::sleep_until(next);
    }

    std::printf("{\"repaints\":%zu,\"interval_ms\":{\"p50\":%.2f,\"p99\":%.2f,\"max\":%.2f}}\n",
                intervalsMs.size() + 1, percentile(intervalsMs, 0.5), percentile(intervalsMs, 0.99),
                percentile(intervalsMs, 1.0));
    XCloseDisplay(painter.display);
    return 0;
}
