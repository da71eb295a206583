// Cutting frames of exactly the encoder's frame size out of the sample FIFO.
#pragma once

#include "lifecycle/cast_context.h"

namespace pixpipe {

// Takes frameSize samples (fewer if the FIFO holds fewer) from the FIFO into
// a new frame with the encoder's layout, format and rate and a buffer of its
// own. Returns nullptr after logging on failure (audio failure 1008).
AVFrame *cutFrame(AVAudioFifo *fifo, const AVCodecContext *encoder, int frameSize);

} // namespace pixpipe
