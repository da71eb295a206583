#include "engine_test_helpers.h"

#include "lifecycle/worker_threads.h"
#include "queue/media_queues.h"

#include <gtest/gtest.h>

#include <cstring>

namespace pixpipe::testing {

int startCastTo(FakeReceiver &receiver, const char *code, int width, int height) {
    return startCapture(const_cast<char *>("127.0.0.1"), receiver.controlPort(),
                        const_cast<char *>(code), width, height);
}

int startCastTo(uint16_t port, const char *code) {
    return startCapture(const_cast<char *>("127.0.0.1"), port, const_cast<char *>(code), 0, 0);
}

::testing::AssertionResult startRecordedCast(FakeReceiver &receiver, CallbackRecorder &recorder) {
    const int started = startCastTo(receiver);
    if (started != 1)
        return ::testing::AssertionFailure() << "startCapture returned " << started;
    const int registered = setCallback(recorder.userData(), CallbackRecorder::callback);
    if (registered != 0)
        return ::testing::AssertionFailure() << "setCallback returned " << registered;
    return ::testing::AssertionSuccess();
}

std::vector<uint8_t> patternBytes(int size) {
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    for (int i = 0; i < size; ++i)
        bytes[static_cast<size_t>(i)] = static_cast<uint8_t>(i * 7 + i / 251);
    return bytes;
}

AVPacket *makePacket(int size, int64_t pts) {
    AVPacket *packet = av_packet_alloc();
    if (size > 0) {
        av_new_packet(packet, size);
        std::vector<uint8_t> bytes = patternBytes(size);
        std::memcpy(packet->data, bytes.data(), bytes.size());
    }
    packet->pts = pts;
    packet->dts = pts;
    return packet;
}

namespace {
const std::atomic<int32_t> kProducing{1};
}

void queueVideoPacket(AVPacket *packet) {
    videoPacketQueue.add(packet, kProducing);
}

void queueAudioPacket(AVPacket *packet) {
    audioPacketQueue.add(packet, kProducing);
}

int64_t elapsedMs(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 since)
        .count();
}

} // namespace pixpipe::testing

namespace {

// These tests drive the links and the lifecycle; the capture and encode
// threads stay out of their casts and the tests feed the queues.
class WithoutMediaPipelines : public ::testing::Environment {
public:
    void SetUp() override { pixpipe::setMediaPipelinesForTesting(false); }
    void TearDown() override { pixpipe::setMediaPipelinesForTesting(true); }
};

[[maybe_unused]] ::testing::Environment *const kWithoutMediaPipelines =
    ::testing::AddGlobalTestEnvironment(new WithoutMediaPipelines);

} // namespace
