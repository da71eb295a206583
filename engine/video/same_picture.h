// Whether two captured pictures are byte for byte the same, so that a still
// screen need not be converted again.
#pragma once

extern "C" {
#include <libavutil/frame.h>
}

namespace pixpipe {

// Compares size and format first, then the visible bytes of every row of
// every plane (padding at the end of a row is not part of the picture).
// Stops at the first difference, which on a moving screen comes early.
bool samePicture(const AVFrame *a, const AVFrame *b);

} // namespace pixpipe
