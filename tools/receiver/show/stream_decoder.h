// The base of the picture and sound decoders: the opened libavcodec decoder
// and the last problem met, for the log.
#pragma once

#include "show/av_decoder.h"

#include <functional>
#include <string>

namespace receiver {

class StreamDecoder {
public:
    StreamDecoder(const StreamDecoder &) = delete;
    StreamDecoder &operator=(const StreamDecoder &) = delete;

    // False when the decoder cannot be opened (error() says why).
    bool ok() const { return m_decoder.ok(); }

    // Forgets what earlier packets left behind: the next stream starts afresh.
    void restart() { m_decoder.restart(); }

    // The last problem, for the log; empty when there was none.
    const std::string &error() const { return m_error; }

protected:
    StreamDecoder(AVCodecID codec, const char *name,
                  const std::function<void(AVCodecContext *)> &configure = {})
        : m_decoder(codec, name, configure), m_error(m_decoder.openError()) {}
    ~StreamDecoder() = default;

    AvDecoder m_decoder;
    std::string m_error;
};

} // namespace receiver
