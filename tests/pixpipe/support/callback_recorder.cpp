#include "callback_recorder.h"

#include <thread>

namespace pixpipe::testing {

void CallbackRecorder::callback(intptr_t userData, int code) {
    auto *recorder = reinterpret_cast<CallbackRecorder *>(userData);
    {
        std::lock_guard<std::mutex> lock(recorder->m_mutex);
        recorder->m_codes.push_back(code);
        recorder->m_changed.notify_all();
    }
    if (recorder->delayMs.load() > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(recorder->delayMs.load()));
    recorder->finishedCalls.fetch_add(1);
}

std::vector<int> CallbackRecorder::codes() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_codes;
}

bool CallbackRecorder::waitForCount(size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_codes.size() >= count; });
}

} // namespace pixpipe::testing
