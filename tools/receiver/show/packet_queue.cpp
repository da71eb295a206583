#include "show/packet_queue.h"

namespace receiver {

bool PacketQueue::push(const uint8_t *data, size_t size, uint64_t generation) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_closed || m_packets.size() >= m_capacity)
            return false;
        m_packets.push_back({std::vector<uint8_t>(data, data + size), generation});
    }
    m_ready.notify_one();
    return true;
}

std::optional<QueuedPacket> PacketQueue::pop() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_ready.wait(lock, [this] { return m_closed || !m_packets.empty(); });
    if (m_closed)
        return std::nullopt;
    QueuedPacket packet = std::move(m_packets.front());
    m_packets.pop_front();
    return packet;
}

size_t PacketQueue::trim(size_t keep) {
    std::lock_guard<std::mutex> lock(m_mutex);
    size_t dropped = 0;
    while (m_packets.size() > keep) {
        m_packets.pop_front();
        ++dropped;
    }
    return dropped;
}

size_t PacketQueue::size() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_packets.size();
}

void PacketQueue::close() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_closed = true;
        m_packets.clear();
    }
    m_ready.notify_all();
}

} // namespace receiver
