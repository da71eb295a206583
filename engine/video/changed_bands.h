// Which horizontal bands of the converted picture a new captured picture
// changes, and which captured columns, found by comparing its rows with
// those of the last one.
#pragma once

#include <functional>
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
    // The captured columns [firstColumn, endColumn) that hold every changed
    // pixel: the whole width when the format's pixels cannot be told apart
    // in a row, empty when nothing changed.
    int firstColumn = 0;
    int endColumn = 0;
};

// Cuts a converted picture of outputHeight rows into bands of bandHeight rows
// (the last one may be shorter). A band has changed when any captured row
// that the bicubic filter may read for it differs between last and picture:
// its rows mapped to the captured picture, widened by the filter's reach.
// Pictures of different size or format change every band and column.
//
// wholeWidth, when given, tells whether a change in the captured columns
// [first, end), or in any wider span, is converted at the whole width. Once
// it is, the columns no longer matter: rows that only bands already changed
// read are not compared, and the whole width is reported.
using WholeWidthSpan = std::function<bool(int firstColumn, int endColumn)>;
ChangedBands findChangedBands(const AVFrame *last, const AVFrame *picture, int outputHeight,
                              int bandHeight, const WholeWidthSpan &wholeWidth = {});

// Bytes per pixel of a format whose pixels lie whole bytes apart in one
// plane (the packed RGB formats screens are captured in); 0 for others.
int packedPixelBytes(int format);

} // namespace pixpipe
