// Time sources of the engine.
#pragma once

#include <chrono>
#include <cstdint>
#include <thread>

namespace pixpipe {

// Wall-clock milliseconds since 1970-01-01 UTC.
inline int64_t wallClockMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

// Media packet stamp: the low 32 bits of the wall-clock milliseconds.
inline int64_t wallClockStampMs() {
    return static_cast<int64_t>(wallClockMs() & 0xFFFFFFFFu);
}

// Monotonic millisecond tick, truncated to 32 bits like a system tick count.
inline uint32_t tickCountMs() {
    using namespace std::chrono;
    return static_cast<uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// Monotonic milliseconds, for measuring spans.
inline int64_t steadyClockMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

inline void sleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace pixpipe
