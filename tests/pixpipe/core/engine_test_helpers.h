// Helpers shared by the engine core tests: a callback that records its
// codes, starting a cast against a fake receiver, and media packets.
#pragma once

#include "fake_receiver.h"
#include "pixpipe.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/packet.h>
}

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

int startCastTo(FakeReceiver &receiver, const char *code = "123456", int width = 0, int height = 0);
int startCastTo(uint16_t port, const char *code = "123456");

// Starts a cast against the receiver and registers the recorder for its
// callbacks: ASSERT_TRUE(startRecordedCast(receiver, recorder)).
::testing::AssertionResult startRecordedCast(FakeReceiver &receiver, CallbackRecorder &recorder);

// A packet of size bytes (a repeating pattern) with pts as its stamp.
AVPacket *makePacket(int size, int64_t pts = 0);
std::vector<uint8_t> patternBytes(int size);

// Adds a packet as a producer that is running would.
void queueVideoPacket(AVPacket *packet);
void queueAudioPacket(AVPacket *packet);

int64_t elapsedMs(std::chrono::steady_clock::time_point since);

} // namespace pixpipe::testing
