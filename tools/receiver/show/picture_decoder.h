// Decodes the cast's pictures on a thread of its own as their messages
// arrive and keeps only the newest for the window. The socket thread hands
// packets over without waiting; if decoding falls too far behind, the waiting
// packets are dropped and decoding starts again at the next key picture.
#pragma once

#include "show/h264_decoder.h"
#include "show/latest_picture.h"
#include "show/packet_queue.h"

#include <atomic>
#include <functional>
#include <thread>

namespace receiver {

class PictureDecoder {
public:
    // pictureWaiting is called on the decoding thread when a picture waits
    // in an empty slot; it must only post a notice to the window.
    explicit PictureDecoder(std::function<void()> pictureWaiting);
    ~PictureDecoder();
    PictureDecoder(const PictureDecoder &) = delete;
    PictureDecoder &operator=(const PictureDecoder &) = delete;

    // Socket thread: one H.264 packet of the cast, in order.
    void push(const uint8_t *data, size_t size);
    // Socket thread: a new cast begins or the old one ended; whatever is
    // queued or waiting from before is dropped.
    void restart();

    // Window thread: the newest picture, once.
    std::optional<QImage> takePicture() { return m_latest.take(); }

    uint64_t picturesDecoded() const { return m_decoded; }
    uint64_t picturesReplaced() const { return m_latest.replaced(); }
    uint64_t packetsDropped() const { return m_dropped; }

private:
    void run();

    std::function<void()> m_pictureWaiting;
    PacketQueue m_packets;
    LatestPicture m_latest;
    bool m_waitForKeyPicture = false; // socket thread only
    std::atomic<uint64_t> m_decoded{0};
    std::atomic<uint64_t> m_dropped{0};
    std::thread m_thread;
};

} // namespace receiver
