// Converts the changed bands of a captured picture, or only their columns
// over the change, and takes every other pixel from the conversion of the
// picture before.
#pragma once

#include "video/changed_bands.h"
#include "video/column_scalers.h"

extern "C" {
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

namespace pixpipe {

// Writes into output (a YUV 4:2:0 frame with a buffer of its own, of the
// context's destination size) the conversion of picture by context: the rows
// of runs converted from picture, with the filter reading the whole captured
// picture so that they equal a whole conversion, and all other rows copied
// from lastOutput. Runs start and end on multiples of the scaler's slice
// alignment (even rows, so that their chroma rows are their own); a run may
// end at an odd bottom only if it is the whole picture. Returns 0 or a
// negative error code of the scaler.
int convertBands(SwsContext *context, const AVFrame *picture, const AVFrame *lastOutput,
                 AVFrame *output, const std::vector<RowRange> &runs);

// The same with the window's context converting only the window's columns
// of the runs: its exact columns are taken, all others copied from
// lastOutput. picture must be in a packed format (packedPixelBytes > 0).
int convertBandColumns(const ColumnWindow &window, const AVFrame *picture,
                       const AVFrame *lastOutput, AVFrame *output,
                       const std::vector<RowRange> &runs);

} // namespace pixpipe
