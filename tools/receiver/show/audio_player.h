// Decodes the cast's sound on a thread of its own and plays it through
// PulseAudio with a short buffer. Sound that falls more than 200 ms behind
// is dropped, so the sound stays with the picture instead of drifting.
#pragma once

#include "show/aac_decoder.h"
#include "show/packet_queue.h"

#include <atomic>
#include <thread>

struct pa_simple;

namespace receiver {

class AudioPlayer {
public:
    explicit AudioPlayer(int sampleRate);
    ~AudioPlayer();
    AudioPlayer(const AudioPlayer &) = delete;
    AudioPlayer &operator=(const AudioPlayer &) = delete;

    // Socket thread: one AAC packet of the cast, in order.
    void push(const uint8_t *data, size_t size);
    // Socket thread: a new cast begins or the old one ended.
    void restart();

    uint64_t packetsDropped() const { return m_dropped; }

private:
    void run();
    void dropLateSound();
    bool openOutput(int sampleRate);
    void play(const std::vector<int16_t> &samples);

    const int m_sampleRate;
    const size_t m_latePackets; // a queue this long is more than 200 ms behind
    PacketQueue m_packets;
    std::atomic<uint64_t> m_generation{0};
    std::atomic<uint64_t> m_dropped{0};
    pa_simple *m_output = nullptr; // playing thread only
    bool m_outputFailed = false;   // playing thread only; tried again after a restart
    std::thread m_thread;
};

} // namespace receiver
