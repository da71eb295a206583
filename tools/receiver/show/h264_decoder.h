// Turns the H.264 packets of a cast, in order, into RGB pictures.
#pragma once

#include "show/stream_decoder.h"

#include <QImage>

#include <optional>

struct SwsContext;

namespace receiver {

class H264Decoder : public StreamDecoder {
public:
    H264Decoder();
    ~H264Decoder();

    // Decodes one packet. Returns the newest picture it completed, or nothing
    // (the decoder needs more packets, or the packet was broken: see error()).
    std::optional<QImage> decode(const uint8_t *data, size_t size);

private:
    std::optional<QImage> toImage(const AVFrame *frame);

    SwsContext *m_converter = nullptr;
};

// Whether an Annex B H.264 packet holds an IDR slice: decoding can start there.
bool startsAfreshAt(const uint8_t *data, size_t size);

} // namespace receiver
