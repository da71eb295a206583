// Scalers for part of the picture's width. The output columns over a change
// are converted by a context made for the captured columns behind them; at
// a scale where output and captured columns meet exactly on a grid, it
// gives the pixels of the whole-width scaler except within a few columns of
// its own edges, which are left out of what counts as converted.
#pragma once

#include <cstdint>
#include <vector>

extern "C" {
#include <libswscale/swscale.h>
}

namespace pixpipe {

struct ColumnWindow {
    SwsContext *context = nullptr; // owned by the ColumnScalers
    int sourceFirst = 0;           // the captured columns the context reads
    int sourceWidth = 0;
    int outputFirst = 0; // the output columns it writes
    int outputWidth = 0;
    int exactFirst = 0; // of those, the ones equal to a whole conversion
    int exactEnd = 0;
};

class ColumnScalers {
public:
    // For pictures of sourceWidth x sourceHeight in format, converted to
    // width x height, each context on the given number of threads.
    ColumnScalers(int sourceWidth, int sourceHeight, int format, int width, int height,
                  int threads);
    ~ColumnScalers();
    ColumnScalers(const ColumnScalers &) = delete;
    ColumnScalers &operator=(const ColumnScalers &) = delete;

    // The window whose exact columns hold every output column that the
    // captured columns [changedFirst, changedEnd) reach. False when the
    // scale or the format allows no part conversion, when the window would
    // cover more than two thirds of the width, or when its context cannot
    // be made.
    bool windowFor(int changedFirst, int changedEnd, ColumnWindow &window);

    // Whether a change in the captured columns [changedFirst, changedEnd),
    // or in any wider span, is converted at the whole width: no window fits.
    bool convertsWholeWidth(int changedFirst, int changedEnd) const;

private:
    // The output columns [first, end) of the window for the captured
    // columns [changedFirst, changedEnd), with the exact ones inside;
    // false when no window of at most two thirds of the width fits.
    struct OutputColumns {
        int64_t first;
        int64_t end;
        int64_t exactFirst;
        int64_t exactEnd;
    };
    bool outputColumnsFor(int changedFirst, int changedEnd, OutputColumns &columns) const;
    struct Cached {
        int sourceFirst;
        int sourceWidth;
        SwsContext *context;
        int64_t lastUse;
    };
    SwsContext *contextFor(int sourceFirst, int sourceWidth, int outputWidth);

    int m_sourceWidth;
    int m_sourceHeight;
    int m_format;
    int m_width;
    int m_height;
    int m_threads;
    // Windows start and end on multiples of this many output columns (0:
    // no part conversion at this scale).
    int m_step = 0;
    std::vector<Cached> m_cache;
    int64_t m_uses = 0;
};

} // namespace pixpipe
