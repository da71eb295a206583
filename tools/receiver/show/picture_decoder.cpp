#include "show/picture_decoder.h"

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
    uint64_t generation = 0;
    std::string lastError;
    while (std::optional<QueuedPacket> packet = m_packets.pop()) {
        if (packet->generation != generation) {
            decoder.restart();
            generation = packet->generation;
            lastError.clear();
        }
        std::optional<QImage> picture = decoder.decode(packet->bytes.data(), packet->bytes.size());
        if (!decoder.error().empty() && decoder.error() != lastError) {
            // Said once per kind of problem and cast: a broken stream repeats it.
            lastError = decoder.error();
            std::printf("picture decoding: %s\n", lastError.c_str());
            std::fflush(stdout);
        }
        if (!picture)
            continue;
        ++m_decoded;
        if (m_latest.put(std::move(*picture), generation))
            m_pictureWaiting();
    }
}

} // namespace receiver
