// Turns the raw AAC packets of a cast into 16-bit interleaved stereo sound.
#pragma once

#include "show/av_decoder.h"

#include <vector>

struct SwrContext;

namespace receiver {

constexpr int kPlaybackChannels = 2;

class AacDecoder {
public:
    // sampleRate: the rate the sender encodes at; the packets do not state it.
    explicit AacDecoder(int sampleRate);
    ~AacDecoder();
    AacDecoder(const AacDecoder &) = delete;
    AacDecoder &operator=(const AacDecoder &) = delete;

    // False when the decoder cannot be opened (error() says why).
    bool ok() const { return m_decoder.ok(); }

    // Decodes one packet; the samples (channels interleaved) it gave, empty
    // when it gave none or was broken (see error()).
    std::vector<int16_t> decode(const uint8_t *data, size_t size);

    void restart() { m_decoder.restart(); }
    int sampleRate() const { return m_sampleRate; }
    const std::string &error() const { return m_error; }

private:
    bool convert(AVFrame *frame, std::vector<int16_t> &samples);

    int m_sampleRate;
    AvDecoder m_decoder;
    SwrContext *m_resampler = nullptr;
    std::vector<uint8_t> m_adtsFrame;
    std::string m_error;
};

} // namespace receiver
