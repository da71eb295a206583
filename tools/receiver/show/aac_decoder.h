// Turns the raw AAC packets of a cast into 16-bit interleaved stereo sound.
#pragma once

#include "show/stream_decoder.h"

#include <vector>

struct SwrContext;

namespace receiver {

constexpr int kPlaybackChannels = 2;

class AacDecoder : public StreamDecoder {
public:
    // sampleRate: the rate the sender encodes at; the packets do not state it.
    explicit AacDecoder(int sampleRate);
    ~AacDecoder();

    // Decodes one packet; the samples (channels interleaved) it gave, empty
    // when it gave none or was broken (see error()).
    std::vector<int16_t> decode(const uint8_t *data, size_t size);

    int sampleRate() const { return m_sampleRate; }

private:
    bool convert(AVFrame *frame, std::vector<int16_t> &samples);

    int m_sampleRate;
    SwrContext *m_resampler = nullptr;
    std::vector<uint8_t> m_adtsFrame;
};

} // namespace receiver
