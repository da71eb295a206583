// Writes the received AAC packets to audio.aac, each behind an ADTS header,
// so that ffprobe and players can read the file.
#pragma once

#include "body_file.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace receiver {

constexpr size_t kAdtsHeaderSize = 7;
constexpr int kDefaultAudioSampleRate = 48000;

// The 7-byte ADTS header (MPEG-4, AAC LC, two channels, no CRC) for one raw
// AAC packet of payloadSize bytes. Nothing when the rate has no ADTS index or
// the frame would be longer than ADTS can state.
std::optional<std::array<uint8_t, kAdtsHeaderSize>> adtsHeader(int sampleRate, size_t payloadSize);

// Whether ADTS can state this sample rate.
bool isAdtsSampleRate(int sampleRate);

class AudioWriter {
public:
    bool open(const std::string &path, int sampleRate, std::string &error) {
        m_sampleRate = sampleRate;
        return m_file.open(path, error);
    }
    // Appends one AAC packet behind its ADTS header. Empty packets are not
    // frames and are skipped; false when the packet cannot be written.
    bool write(const uint8_t *data, size_t size);
    void close() { m_file.close(); }

private:
    BodyFile m_file;
    int m_sampleRate = kDefaultAudioSampleRate;
};

} // namespace receiver
