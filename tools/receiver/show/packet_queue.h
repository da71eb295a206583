// Packets handed from the socket thread to a decoding thread. Pushing never
// waits for the decoder: a full queue refuses the packet and the caller
// decides what to drop.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

namespace receiver {

struct QueuedPacket {
    std::vector<uint8_t> bytes;
    uint64_t generation; // the stream the packet belongs to (a cast)
};

class PacketQueue {
public:
    explicit PacketQueue(size_t capacity) : m_capacity(capacity) {}

    // False when the queue holds its capacity already or is closed.
    bool push(const uint8_t *data, size_t size, uint64_t generation);

    // Waits for the oldest packet; nothing once the queue is closed.
    std::optional<QueuedPacket> pop();

    // Drops the oldest packets until at most keep are left; how many went.
    size_t trim(size_t keep);
    size_t size() const;

    // Wakes the reader for good: pop returns nothing from now on.
    void close();

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<QueuedPacket> m_packets;
    size_t m_capacity;
    bool m_closed = false;
};

} // namespace receiver
