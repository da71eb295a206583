#include "show/audio_player.h"

#include "show/decode_loop.h"

#include <pulse/error.h>
#include <pulse/simple.h>

#include <algorithm>
#include <cstdio>

namespace receiver {

namespace {

constexpr int kSamplesPerAacPacket = 1024;
constexpr int kMostBehindMs = 200;
// What is left queued after dropping late sound.
constexpr size_t kPacketsKeptWhenLate = 2;
// The PulseAudio buffer: short, so that little sound waits there.
constexpr int kOutputBufferMs = 60;
// The queue never holds more than this; a stalled output drops the rest.
constexpr size_t kMostWaitingPackets = 400;

size_t latePacketCount(int sampleRate) {
    size_t packets = static_cast<size_t>(kMostBehindMs) * sampleRate / 1000 / kSamplesPerAacPacket;
    return std::max<size_t>(packets, kPacketsKeptWhenLate + 1);
}

} // namespace

AudioPlayer::AudioPlayer(int sampleRate)
    : m_sampleRate(sampleRate), m_latePackets(latePacketCount(sampleRate)),
      m_packets(kMostWaitingPackets), m_thread([this] { run(); }) {}

AudioPlayer::~AudioPlayer() {
    m_packets.close();
    m_thread.join();
    if (m_output)
        pa_simple_free(m_output);
}

void AudioPlayer::push(const uint8_t *data, size_t size) {
    if (size == 0)
        return;
    if (!m_packets.push(data, size, m_generation)) {
        m_dropped += m_packets.trim(kPacketsKeptWhenLate) + 1;
        m_packets.push(data, size, m_generation);
    }
}

void AudioPlayer::restart() {
    m_packets.trim(0);
    ++m_generation;
}

void AudioPlayer::dropLateSound() {
    if (m_packets.size() <= m_latePackets)
        return;
    size_t dropped = m_packets.trim(kPacketsKeptWhenLate);
    m_dropped += dropped;
    std::printf("sound fell more than %d ms behind: %zu packets dropped\n", kMostBehindMs, dropped);
    std::fflush(stdout);
}

bool AudioPlayer::openOutput(int sampleRate) {
    if (m_output)
        return true;
    if (m_outputFailed)
        return false;
    pa_sample_spec sampleFormat{};
    sampleFormat.format = PA_SAMPLE_S16NE;
    sampleFormat.rate = static_cast<uint32_t>(sampleRate);
    sampleFormat.channels = kPlaybackChannels;
    pa_buffer_attr buffer{};
    buffer.maxlength = static_cast<uint32_t>(-1);
    buffer.tlength = static_cast<uint32_t>(pa_usec_to_bytes(kOutputBufferMs * 1000, &sampleFormat));
    buffer.prebuf = static_cast<uint32_t>(-1);
    buffer.minreq = static_cast<uint32_t>(-1);
    buffer.fragsize = static_cast<uint32_t>(-1);
    int error = 0;
    m_output = pa_simple_new(nullptr, "cast-receiver", PA_STREAM_PLAYBACK, nullptr, "cast",
                             &sampleFormat, nullptr, &buffer, &error);
    if (!m_output) {
        m_outputFailed = true;
        std::printf("no sound: PulseAudio: %s\n", pa_strerror(error));
        std::fflush(stdout);
    }
    return m_output != nullptr;
}

void AudioPlayer::play(const std::vector<int16_t> &samples) {
    int error = 0;
    if (pa_simple_write(m_output, samples.data(), samples.size() * sizeof(int16_t), &error) < 0) {
        std::printf("no sound: PulseAudio: %s\n", pa_strerror(error));
        std::fflush(stdout);
        pa_simple_free(m_output);
        m_output = nullptr;
        m_outputFailed = true;
    }
}

void AudioPlayer::run() {
    AacDecoder decoder(m_sampleRate);
    if (!decoder.ok())
        std::fprintf(stderr, "cast-receiver: %s; no sound will be played\n",
                     decoder.error().c_str());
    decodeQueuedPackets(
        m_packets, decoder, "sound decoding",
        [this] {
            m_outputFailed = false;
            if (m_output)
                pa_simple_flush(m_output, nullptr);
        },
        [this, &decoder](std::vector<int16_t> samples, uint64_t) {
            if (!samples.empty() && openOutput(decoder.sampleRate()))
                play(samples);
            dropLateSound();
        });
}

} // namespace receiver
