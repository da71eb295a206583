// The newest decoded picture waiting for the window. One slot: a new picture
// replaces the one still waiting, so pictures the window could not show in
// time are dropped instead of queued, and memory stays at one picture.
#pragma once

#include <QImage>

#include <cstdint>
#include <mutex>
#include <optional>

namespace receiver {

class LatestPicture {
public:
    // The stream the pictures belong to; clear() starts a new one.
    uint64_t generation() const;

    // Puts a picture decoded for the given stream into the slot. Returns true
    // when the window has to be told: the slot was empty, so no notice is on
    // its way yet. A picture of an older stream is dropped.
    bool put(QImage picture, uint64_t generation);

    // Takes the waiting picture, if any.
    std::optional<QImage> take();

    // Drops the waiting picture and starts a new stream.
    void clear();

    // Pictures replaced before the window took them.
    uint64_t replaced() const;

private:
    mutable std::mutex m_mutex;
    std::optional<QImage> m_picture;
    uint64_t m_generation = 0;
    uint64_t m_replaced = 0;
};

} // namespace receiver
