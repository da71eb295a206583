// The decoder of the captured audio stream: opening it and reading one
// decoded frame at a time.
#pragma once

#include "lifecycle/cast_context.h"

namespace pixpipe {

// Opens a decoder for the stream into m_audioDecoder. On failure the
// decoder context is freed and m_audioInput is closed; returns false.
bool openAudioDecoder(CastContext *cast, const AVStream *stream);

struct DecodeResult {
    int error = 0;            // 0, or the FFmpeg error that stopped reading
    bool dataPresent = false; // frame holds decoded samples
    bool finished = false;    // the input ended and the decoder is drained
    // No packet this time: a non-blocking device had none yet, or a stop
    // interrupted the read.
    bool noPacket = false;
};

// Reads one packet, sends it to the decoder and receives at most one frame
// into `frame`. At the end of the input an empty packet drains the decoder.
DecodeResult readDecodedFrame(AVFormatContext *input, AVCodecContext *decoder, AVFrame *frame);

} // namespace pixpipe
