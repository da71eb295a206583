// Opening the screen capture device and finding its picture stream.
#pragma once

#include "platform/capture_sources.h"

extern "C" {
#include <libavformat/avformat.h>
}

namespace pixpipe {

// Opens the video capture source into *input. The platform device is asked
// for 15 frames per second at the full screen size; the ring buffer size is
// given for DirectShow. The input gets the interrupt callback for its opening
// and every later read. Returns 0 or a negative FFmpeg error code.
int openCaptureDevice(const CaptureSource &source, int screenWidth, int screenHeight,
                      const AVIOInterruptCB &interrupt, AVFormatContext **input);

// The index of the first video stream, or -1 when there is none.
int findFirstVideoStream(const AVFormatContext *input);

} // namespace pixpipe
