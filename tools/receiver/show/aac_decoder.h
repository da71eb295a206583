// Turns the raw AAC packets of a cast into 16-bit interleaved stereo sound.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
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

    bool ok() const { return m_decoder != nullptr; }

    // Decodes one packet; the samples (channels interleaved) it gave, empty
    // when it gave none or was broken (see error()).
    std::vector<int16_t> decode(const uint8_t *data, size_t size);

    void restart();
    int sampleRate() const { return m_sampleRate; }
    const std::string &error() const { return m_error; }

private:
    bool convert(AVFrame *frame, std::vector<int16_t> &samples);

    int m_sampleRate;
    AVCodecContext *m_decoder = nullptr;
    AVFrame *m_frame = nullptr;
    AVPacket *m_packet = nullptr;
    SwrContext *m_resampler = nullptr;
    std::vector<uint8_t> m_adtsFrame;
    std::string m_error;
};

} // namespace receiver
