// A bounded ring that hands owned frames or packets from one producer thread
// to one consumer thread. The ready event belongs to the cast context and is
// attached when a cast starts.
#pragma once

#include "platform/clock.h"
#include "platform/manual_reset_event.h"
#include "queue/media_item.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>

namespace pixpipe {

template <typename Item> class MediaQueue {
public:
    static constexpr int kSlots = 15;
    // A producer waits while this many items are queued and its flag is 1.
    static constexpr int kProducerLimit = 14;

    ~MediaQueue() { freeAll(); }

    void attachReadyEvent(ManualResetEvent *event) { m_ready = event; }

    // Producer side. Waits in 10 ms steps while the queue holds 14 items and
    // running is 1, then adds the item (also when running went to 0, which is
    // how end markers use the fifteenth slot).
    void add(Item *item, const std::atomic<int32_t> &running) {
        while (count() >= kProducerLimit && running.load() == 1)
            sleepMs(10);
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_count >= kSlots) {
            // Cannot happen with one producer that honours the limit; never
            // overwrite a queued item.
            freeMediaItem(item);
            return;
        }
        m_slots[m_write] = item;
        m_write = (m_write + 1) % kSlots;
        ++m_count;
        if (m_count == 1 && m_ready)
            m_ready->set();
    }

    // Consumer side, one loop iteration: waits on the ready event, then takes
    // the oldest item. Returns nullptr when the queue turned out empty (the
    // event is reset); the caller then tests its running flag again.
    Item *waitAndTake() {
        if (m_ready)
            m_ready->wait();
        return take();
    }

    // The same, waiting at most timeout; when it passes without a wake,
    // returns nullptr with *timedOut set (the caller waits again rather than
    // treating it as a wake).
    Item *waitAndTake(std::chrono::milliseconds timeout, bool *timedOut) {
        *timedOut = m_ready && !m_ready->waitFor(timeout);
        return *timedOut ? nullptr : take();
    }

    int count() {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_count;
    }

    // Frees every queued item and sets count and both indices to 0. Only
    // called when neither producer nor consumer runs.
    void reset() { freeAll(); }

private:
    Item *take() {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_count <= 0) {
            if (m_ready)
                m_ready->reset();
            return nullptr;
        }
        Item *item = m_slots[m_read];
        m_slots[m_read] = nullptr;
        m_read = (m_read + 1) % kSlots;
        --m_count;
        return item;
    }

    void freeAll() {
        std::lock_guard<std::mutex> lock(m_lock);
        for (auto &slot : m_slots) {
            if (slot)
                freeMediaItem(slot);
            slot = nullptr;
        }
        m_count = 0;
        m_read = 0;
        m_write = 0;
    }

    std::mutex m_lock;
    Item *m_slots[kSlots] = {};
    int m_count = 0;
    int m_read = 0;
    int m_write = 0;
    ManualResetEvent *m_ready = nullptr;
};

} // namespace pixpipe
