// The decoder of the captured picture stream.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace pixpipe {

// Opens a decoder for the stream's codec, logging why when it cannot.
// Returns nullptr on failure.
AVCodecContext *openVideoDecoder(const AVStream *stream);

// Decodes one packet into picture. Returns true when the decoder delivered a
// picture; with several, picture holds the newest one.
bool decodeNewestPicture(AVCodecContext *decoder, const AVPacket *packet, AVFrame *picture);

} // namespace pixpipe
