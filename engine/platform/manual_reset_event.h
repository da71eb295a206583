// A manual-reset event: once set it stays signalled, waking every waiter,
// until it is reset.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace pixpipe {

class ManualResetEvent {
public:
    void set() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_signalled = true;
        m_condition.notify_all();
    }

    void reset() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_signalled = false;
    }

    // Blocks until the event is signalled; returns at once if it already is.
    void wait() {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_condition.wait(lock, [this] { return m_signalled; });
    }

    // Blocks until the event is signalled or timeout has passed; true when
    // it is signalled.
    template <typename Rep, typename Period>
    bool waitFor(std::chrono::duration<Rep, Period> timeout) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_condition.wait_for(lock, timeout, [this] { return m_signalled; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_condition;
    bool m_signalled = false;
};

} // namespace pixpipe
