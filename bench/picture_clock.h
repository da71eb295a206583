// Decodes a received H.264 stream as it arrives (one decoder thread, low
// delay, so that each picture comes out of the decoder as soon as its packet
// is complete) and reads the barcode clock back from every picture. Keeps
// what the benchmark prints: pictures and bytes after a warm-up, and the
// glass-to-decoded latency of each picture whose barcode could be read.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace bench {

class PictureClock {
public:
    // Pictures that arrive within warmup of the first one are decoded but not
    // counted: both senders need a moment to settle after their start.
    explicit PictureClock(std::chrono::milliseconds warmup);
    ~PictureClock();
    PictureClock(const PictureClock &) = delete;
    PictureClock &operator=(const PictureClock &) = delete;

    // Opens the decoder; codec parameters may carry the stream's headers.
    bool open(const AVCodecParameters *parameters);
    // One encoded picture as it came off the wire.
    void addPacket(const uint8_t *data, int size);
    // Audio bytes that arrived now (any thread may call it).
    void addAudioBytes(int64_t bytes);

    // The JSON line that stream-probe prints.
    std::string summary() const;

private:
    using Clock = std::chrono::steady_clock;
    bool counting(Clock::time_point now);
    void readPictures(Clock::time_point arrival);

    std::chrono::milliseconds m_warmup;
    AVCodecContext *m_decoder = nullptr;
    AVPacket *m_packet = nullptr;
    AVFrame *m_picture = nullptr;
    Clock::time_point m_firstArrival{};
    bool m_started = false;
    Clock::time_point m_firstCounted{};
    Clock::time_point m_lastCounted{};
    int64_t m_pictures = 0;
    int64_t m_videoBytes = 0; // after the first counted picture
    int64_t m_decodeErrors = 0;
    int64_t m_unreadable = 0;
    std::vector<int> m_latencyMs;
    struct AudioArrival {
        Clock::time_point time;
        int64_t bytes;
    };
    std::vector<AudioArrival> m_audio;
    mutable std::mutex m_audioMutex;
};

} // namespace bench
