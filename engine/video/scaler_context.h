// The bicubic scaler from a captured picture to YUV 4:2:0 at the encoded
// size, running its slices on all cores.
#pragma once

extern "C" {
#include <libswscale/swscale.h>
}

namespace pixpipe {

// Scaling a full screen is the heaviest step of the capture thread; the
// scaler cuts the picture into slices and converts them on this many threads.
int scalerThreads();

// The scaler on the given number of threads, two at least. nullptr when the
// library refuses the sizes or the format.
SwsContext *newBicubicScaler(int sourceWidth, int sourceHeight, int sourceFormat, int width,
                             int height, int threads);

} // namespace pixpipe
