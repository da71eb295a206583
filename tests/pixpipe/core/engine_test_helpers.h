// Helpers shared by the engine core tests: starting a cast against a fake
// receiver, and media packets.
#pragma once

#include "callback_recorder.h"
#include "fake_receiver.h"
#include "pixpipe.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/packet.h>
}

namespace pixpipe::testing {

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
