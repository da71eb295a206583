// Records the codes the engine passes to its callback.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

namespace pixpipe::testing {

// Collects the codes of the engine callback; register with
// setCallback(recorder.userData(), CallbackRecorder::callback).
class CallbackRecorder {
public:
    static void callback(intptr_t userData, int code);
    intptr_t userData() { return reinterpret_cast<intptr_t>(this); }

    std::vector<int> codes();
    bool waitForCount(size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(5));

    // Each call sleeps this long before returning (a slow host).
    std::atomic<int> delayMs{0};
    std::atomic<int> finishedCalls{0};

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<int> m_codes;
};

} // namespace pixpipe::testing
