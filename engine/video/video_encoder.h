// The H.264 encoder of a cast and the one-frame-in, one-packet-out step.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace pixpipe {

// Opens an H.264 encoder for width x height YUV 4:2:0 pictures with the
// cast's fixed bit rate and low-latency settings. Returns nullptr
// when no encoder exists or it cannot be opened.
AVCodecContext *openVideoEncoder(int width, int height);

// Encodes one frame and takes at most one packet. Returns 0 with the packet
// filled, 0 with an empty packet when the encoder has none ready yet, or a
// negative FFmpeg error code.
int encodeOneFrame(AVCodecContext *encoder, const AVFrame *frame, AVPacket *packet);

} // namespace pixpipe
