// User and kernel time of the test process so far, in milliseconds: the
// casts' cost per second in the test logs.
#pragma once

#include <windows.h>

#include <cstdint>

inline uint64_t processCpuMs() {
    FILETIME unused, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &unused, &unused, &kernel, &user);
    auto ticks = [](FILETIME time) { // 100 ns each
        return ULARGE_INTEGER{{time.dwLowDateTime, time.dwHighDateTime}}.QuadPart;
    };
    return (ticks(kernel) + ticks(user)) / 10000;
}
