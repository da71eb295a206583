// A whole cast from the Windows engine to the test receiver running outside
// Wine: lavfi test sources stand in for the screen and the sound, the
// receiver's quit message ends the cast with callback 0, and the stop after
// it is quick. cast_under_wine.sh starts the receiver, passes its port in
// PIXPIPE_TEST_RECEIVER_PORT and checks what the receiver got.
#include "engine_test_helpers.h"
#include "lifecycle/worker_threads.h"
#include "platform/capture_sources.h"
#include "process_cpu.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace pixpipe;
using namespace pixpipe::testing;

TEST(CastUnderWine, TestSourcesReachTheReceiverUntilItsQuitMessage) {
    const char *port = std::getenv("PIXPIPE_TEST_RECEIVER_PORT");
    ASSERT_NE(port, nullptr) << "run through cast_under_wine.sh";

    // The core tests' helpers run casts without media threads; this one needs them.
    setMediaPipelinesForTesting(true);
    CaptureSources sources;
    sources.video = {"lavfi", "testsrc2=size=640x360:rate=15,realtime", {}, false};
    sources.audio = {"lavfi", "sine=frequency=1000:sample_rate=44100,arealtime", {}, false};
    setCaptureSourcesForTesting(sources);

    CallbackRecorder recorder;
    const uint64_t cpuBefore = processCpuMs();
    const auto castBegin = std::chrono::steady_clock::now();
    ASSERT_EQ(startCapture(const_cast<char *>("127.0.0.1"), std::atoi(port),
                           const_cast<char *>("731905"), 640, 360),
              1);
    ASSERT_EQ(setCallback(recorder.userData(), CallbackRecorder::callback), 0);
    // The receiver quits a few seconds after the start command.
    EXPECT_TRUE(recorder.waitForCount(1, std::chrono::seconds(30)));

    auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(stopCapture(), 0);
    const int64_t took = elapsedMs(begin);
    const std::chrono::duration<double> casting = begin - castBegin;
    std::printf("stop after the quit took %lld ms; cast CPU %.0f ms per second\n",
                static_cast<long long>(took), (processCpuMs() - cpuBefore) / casting.count());
    EXPECT_LT(took, 2000);
    EXPECT_EQ(recorder.codes(), std::vector<int>{0});
    resetCaptureSourcesForTesting();
}

// With the fallbacks off, a start under Wine (no DirectShow sources) fails
// as on a PC without the DirectShow sources and without fallbacks: 1001 and
// 1005, and a quick stop.
TEST(CastUnderWine, WithoutFallbacksAStartReportsBothDevicesFailing) {
    setMediaPipelinesForTesting(true);
    CaptureSources sources = platformCaptureSources();
    sources.videoFallbacks.clear();
    sources.audioLoopbackFallback = nullptr;
    setCaptureSourcesForTesting(sources);

    FakeReceiver receiver;
    CallbackRecorder recorder;
    ASSERT_EQ(startCastTo(receiver, "123456", 640, 360), 1);
    ASSERT_EQ(setCallback(recorder.userData(), CallbackRecorder::callback), 0);
    // Looking for DirectShow devices under Wine may take a few seconds.
    EXPECT_TRUE(recorder.waitForCount(2, std::chrono::seconds(30)));
    std::vector<int> codes = recorder.codes();
    std::sort(codes.begin(), codes.end());
    EXPECT_EQ(codes, (std::vector<int>{1001, 1005}));

    auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(stopCapture(), 0);
    EXPECT_LT(elapsedMs(begin), 2000);
    resetCaptureSourcesForTesting();
}
