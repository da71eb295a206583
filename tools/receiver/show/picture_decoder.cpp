#include "show/picture_decoder.h"

#include "show/decode_loop.h"

#include <cstdio>

namespace receiver {

namespace {

// About four seconds of pictures at the cast's frame rates.
constexpr size_t kMostWaitingPackets = 60;

} // namespace

PictureDecoder::PictureDecoder(std::function<void()> pictureWaiting)
    : m_pictureWaiting(std::move(pictureWaiting)), m_packets(kMostWaitingPackets),
      m_thread([this] { run(); }) {}

PictureDecoder::~PictureDecoder() {
    m_packets.close();
    m_thread.join();
}

void PictureDecoder::push(const uint8_t *data, size_t size) {
    if (size == 0)
        return;
    if (m_waitForKeyPicture) {
        if (!startsAfreshAt(data, size)) {
            ++m_dropped;
            return;
        }
        m_waitForKeyPicture = false;
    }
    if (m_packets.push(data, size, m_latest.generation()))
        return;
    // Decoding is far behind: what waits is stale. Start again at a key
    // picture, this one if it is one.
    size_t dropped = m_packets.trim(0);
    if (startsAfreshAt(data, size))
        m_packets.push(data, size, m_latest.generation());
    else {
        m_waitForKeyPicture = true;
        ++dropped;
    }
    m_dropped += dropped;
    std::printf("picture decoding fell behind: %zu packets dropped\n", dropped);
    std::fflush(stdout);
}

void PictureDecoder::restart() {
    m_packets.trim(0);
    m_latest.clear();
    m_waitForKeyPicture = false;
}

void PictureDecoder::run() {
    H264Decoder decoder;
    if (!decoder.ok()) {
        std::fprintf(stderr, "cast-receiver: %s; no pictures will be shown\n",
                     decoder.error().c_str());
    }
    decodeQueuedPackets(
        m_packets, decoder, "picture decoding", [] {},
        [this](std::optional<QImage> picture, uint64_t generation) {
            if (!picture)
                return;
            ++m_decoded;
            if (m_latest.put(std::move(*picture), generation))
                m_pictureWaiting();
        });
}

} // namespace receiver
