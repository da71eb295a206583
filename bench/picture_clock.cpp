#include "picture_clock.h"

#include "barcode_clock.h"

#include <nlohmann/json.hpp>

namespace bench {

PictureClock::PictureClock(std::chrono::milliseconds warmup) : m_warmup(warmup) {}

PictureClock::~PictureClock() {
    avcodec_free_context(&m_decoder);
    av_packet_free(&m_packet);
    av_frame_free(&m_picture);
}

bool PictureClock::open(const AVCodecParameters *parameters) {
    const AVCodec *codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    m_decoder = codec ? avcodec_alloc_context3(codec) : nullptr;
    m_packet = av_packet_alloc();
    m_picture = av_frame_alloc();
    if (!m_decoder || !m_packet || !m_picture)
        return false;
    if (parameters && avcodec_parameters_to_context(m_decoder, parameters) < 0)
        return false;
    m_decoder->thread_count = 1;
    m_decoder->flags |= AV_CODEC_FLAG_LOW_DELAY;
    return avcodec_open2(m_decoder, codec, nullptr) == 0;
}

bool PictureClock::counting(Clock::time_point now) {
    if (!m_started) {
        m_started = true;
        m_firstArrival = now;
    }
    return now - m_firstArrival >= m_warmup;
}

void PictureClock::addPacket(const uint8_t *data, int size) {
    if (size <= 0)
        return;
    const Clock::time_point arrival = Clock::now();
    if (counting(arrival)) {
        if (m_pictures == 0)
            m_firstCounted = arrival;
        else
            m_videoBytes += size;
        m_lastCounted = arrival;
        ++m_pictures;
    }
    // The decoder reads the bytes during the call; no copy is needed.
    m_packet->data = const_cast<uint8_t *>(data);
    m_packet->size = size;
    const int ret = avcodec_send_packet(m_decoder, m_packet);
    av_packet_unref(m_packet);
    if (ret < 0) {
        ++m_decodeErrors;
        return;
    }
    readPictures(arrival);
}

void PictureClock::readPictures(Clock::time_point arrival) {
    while (avcodec_receive_frame(m_decoder, m_picture) == 0) {
        const uint32_t decodedMs = wallClockMs();
        const std::optional<uint32_t> paintedMs = readBarcode(
            m_picture->data[0], m_picture->linesize[0], m_picture->width, m_picture->height);
        if (arrival - m_firstArrival >= m_warmup) {
            if (paintedMs)
                m_latencyMs.push_back(static_cast<int32_t>(decodedMs - *paintedMs));
            else
                ++m_unreadable;
        }
        av_frame_unref(m_picture);
    }
}

void PictureClock::addAudioBytes(int64_t bytes) {
    std::lock_guard<std::mutex> lock(m_audioMutex);
    m_audio.push_back({Clock::now(), bytes});
}

std::string PictureClock::summary() const {
    const double seconds = std::chrono::duration<double>(m_lastCounted - m_firstCounted).count();
    int64_t audioBytes = 0;
    {
        std::lock_guard<std::mutex> lock(m_audioMutex);
        for (const AudioArrival &arrival : m_audio) {
            if (arrival.time > m_firstCounted && arrival.time <= m_lastCounted)
                audioBytes += arrival.bytes;
        }
    }
    nlohmann::json json = {
        {"pictures", m_pictures},
        {"seconds", seconds},
        {"fps", seconds > 0 ? (m_pictures - 1) / seconds : 0},
        {"video_kbit_s", seconds > 0 ? m_videoBytes * 8 / seconds / 1000 : 0},
        {"audio_kbit_s", seconds > 0 ? audioBytes * 8 / seconds / 1000 : 0},
        {"decode_errors", m_decodeErrors},
        {"unreadable", m_unreadable},
        {"latency_ms", m_latencyMs},
    };
    return json.dump();
}

} // namespace bench
