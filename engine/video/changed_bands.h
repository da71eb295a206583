// Which horizontal bands of the converted picture a new captured picture
// changes, found by comparing its rows with those of the last one.
#pragma once

#include <vector>

extern "C" {
#include <libavutil/frame.h>
}

namespace pixpipe {

// Rows [first, first + count) of the converted picture.
struct RowRange {
    int first = 0;
    int count = 0;
};

struct ChangedBands {
    int bands = 0;              // bands of the converted picture
    int changed = 0;            // bands that must be converted again
    std::vector<RowRange> runs; // the changed bands, neighbours joined, top down
};

// Cuts a converted picture of outputHeight rows into bands of bandHeight rows
// (the last one may be shorter). A band has changed when any captured row
// that the bicubic filter may read for it differs between last and picture:
// its rows mapped to the captured picture, widened by the filter's reach.
// Pictures of different size or format change every band.
ChangedBands findChangedBands(const AVFrame *last, const AVFrame *picture, int outputHeight,
                              int bandHeight);

} // namespace pixpipe
