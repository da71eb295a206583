// Turns the H.264 packets of a cast, in order, into RGB pictures.
#pragma once

#include "show/av_decoder.h"

#include <QImage>

#include <optional>

struct SwsContext;

namespace receiver {

class H264Decoder {
public:
    H264Decoder();
    ~H264Decoder();
    H264Decoder(const H264Decoder &) = delete;
    H264Decoder &operator=(const H264Decoder &) = delete;

    // False when libavcodec has no H.264 decoder or it cannot be opened
    // (error() says why).
    bool ok() const { return m_decoder.ok(); }

    // Decodes one packet. Returns the newest picture it completed, or nothing
    // (the decoder needs more packets, or the packet was broken: see error()).
    std::optional<QImage> decode(const uint8_t *data, size_t size);

    // Forgets the reference pictures: the next stream starts afresh.
    void restart() { m_decoder.restart(); }

    // The last decoding problem, for the log; empty when there was none.
    const std::string &error() const { return m_error; }

private:
    std::optional<QImage> toImage(const AVFrame *frame);

    AvDecoder m_decoder;
    SwsContext *m_converter = nullptr;
    std::string m_error;
};

// Whether an Annex B H.264 packet holds an IDR slice: decoding can start there.
bool startsAfreshAt(const uint8_t *data, size_t size);

} // namespace receiver
