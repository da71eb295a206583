#include "audio_writer.h"

#include <iterator>

namespace receiver {

namespace {

// The sampling frequency table of MPEG-4 audio; the index goes into the header.
constexpr int kSampleRates[] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                22050, 16000, 12000, 11025, 8000,  7350};

constexpr int kProfileLowComplexity = 1; // audio object type 2, minus one
constexpr int kChannelConfiguration = 2;
constexpr size_t kMaxFrameLength = 0x1FFF; // 13 bits, header included
constexpr int kBufferFullnessVariable = 0x7FF;

int sampleRateIndex(int sampleRate) {
    for (int i = 0; i < static_cast<int>(std::size(kSampleRates)); ++i) {
        if (kSampleRates[i] == sampleRate)
            return i;
    }
    return -1;
}

} // namespace

bool isAdtsSampleRate(int sampleRate) {
    return sampleRateIndex(sampleRate) >= 0;
}

std::optional<std::array<uint8_t, kAdtsHeaderSize>> adtsHeader(int sampleRate, size_t payloadSize) {
    const int rateIndex = sampleRateIndex(sampleRate);
    const size_t frameLength = payloadSize + kAdtsHeaderSize;
    if (rateIndex < 0 || frameLength > kMaxFrameLength)
        return std::nullopt;

    std::array<uint8_t, kAdtsHeaderSize> header{};
    header[0] = 0xFF; // syncword 0xFFF
    header[1] = 0xF1; // MPEG-4, layer 0, no CRC
    header[2] = static_cast<uint8_t>((kProfileLowComplexity << 6) | (rateIndex << 2) |
                                     (kChannelConfiguration >> 2));
    header[3] = static_cast<uint8_t>(((kChannelConfiguration & 0x3) << 6) | (frameLength >> 11));
    header[4] = static_cast<uint8_t>((frameLength >> 3) & 0xFF);
    header[5] = static_cast<uint8_t>(((frameLength & 0x7) << 5) | (kBufferFullnessVariable >> 6));
    header[6] = static_cast<uint8_t>((kBufferFullnessVariable & 0x3F) << 2); // one raw block
    return header;
}

bool AudioWriter::write(const uint8_t *data, size_t size) {
    if (size == 0)
        return true;
    const auto header = adtsHeader(m_sampleRate, size);
    if (!header)
        return false;
    return m_file.append(header->data(), header->size()) && m_file.append(data, size);
}

} // namespace receiver
