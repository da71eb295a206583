// Whole casts through the exported functions: the video reaches a receiver
// as H.264 of the size asked for.
#include "fake_receiver.h"
#include "h264_inspection.h"
#include "pixpipe.h"
#include "platform/capture_sources.h"

#include <gtest/gtest.h>
#ifdef CAST_RECEIVER_PATH
#include <nlohmann/json.hpp>
#endif

#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace pixpipe {
namespace {

using namespace std::chrono_literals;
using testing::FakeReceiver;
using testing::Link;

std::vector<std::vector<uint8_t>> videoBodies(FakeReceiver &receiver) {
    std::vector<std::vector<uint8_t>> bodies;
    for (const auto &message : receiver.messages(Link::Control)) {
        if (message.header.type == MSG_VIDEO)
            bodies.push_back(message.body);
    }
    return bodies;
}

std::atomic<int> g_callbacks{0};
void countCallback(intptr_t, int) {
    ++g_callbacks;
}

TEST(VideoCastTest, WidthZeroEncodesFullWidthAtTheGivenHeight) {
    // Paced test inputs in place of the screen and the sound device.
    CaptureSources sources;
    sources.video = {
        "lavfi", "testsrc2=size=1280x720:rate=15,realtime", {{"fpsprobesize", "0"}}, false};
    sources.audio = {"lavfi", "sine=frequency=440:sample_rate=44100,arealtime", {}, false};
    setCaptureSourcesForTesting(sources);

    FakeReceiver receiver;
    char host[] = "127.0.0.1";
    char code[] = "ABC123";
    g_callbacks = 0;
    ASSERT_EQ(startCapture(host, receiver.controlPort(), code, 0, 720), 1);
    EXPECT_EQ(setCallback(0, countCallback), 0);
    EXPECT_TRUE(
        receiver.waitUntil([](FakeReceiver &r) { return videoBodies(r).size() >= 8; }, 10s));
    EXPECT_EQ(stopCapture(), 0);
    resetCaptureSourcesForTesting();

    const std::vector<DecodedPicture> pictures = decodeH264(videoBodies(receiver));
    ASSERT_GE(pictures.size(), 8u);
    for (const DecodedPicture &picture : pictures) {
        EXPECT_EQ(picture.width, 1920);
        EXPECT_EQ(picture.height, 720);
    }
    EXPECT_EQ(g_callbacks, 0);
}

#ifdef CAST_RECEIVER_PATH

std::string commandOutput(const std::string &command) {
    std::string output;
    if (FILE *pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (fgets(buffer, sizeof buffer, pipe))
            output += buffer;
        pclose(pipe);
    }
    return output;
}

// The real shared library casts the virtual screen to the real test receiver.
TEST(VideoCastTest, CastsTheScreenToCastReceiverAsH264) {
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "needs an X display (scripts/test-session)";

    const std::filesystem::path out =
        std::filesystem::temp_directory_path() / ("pixpipe-video-" + std::to_string(getpid()));
    std::filesystem::remove_all(out);
    // The receiver prints its ports, then ends (closing its output) when
    // the cast has ended and stats.json is written. The time limit ends it
    // too when a failed check leaves the cast unfinished.
    FILE *receiver = popen(
        ("exec timeout 30 '" CAST_RECEIVER_PATH "' --port 0 --out '" + out.string() + "'").c_str(),
        "r");
    ASSERT_NE(receiver, nullptr);
    char ready[256] = {};
    std::cmatch match;
    ASSERT_TRUE(fgets(ready, sizeof ready, receiver) &&
                std::regex_search(ready, match, std::regex("listening control=(\\d+)")))
        << ready;
    const int port = std::stoi(match[1]);

    void *library = dlopen(PIXPIPE_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto start = reinterpret_cast<decltype(&startCapture)>(dlsym(library, "startCapture"));
    auto stop = reinterpret_cast<decltype(&stopCapture)>(dlsym(library, "stopCapture"));
    ASSERT_TRUE(start && stop);

    char host[] = "127.0.0.1";
    char code[] = "XVFB01";
    ASSERT_EQ(start(host, port, code, 1280, 720), 1);
    std::this_thread::sleep_for(5s);
    EXPECT_EQ(stop(), 0);
    while (fgets(ready, sizeof ready, receiver))
        continue;
    EXPECT_EQ(pclose(receiver), 0);

    std::ifstream statsFile(out / "stats.json");
    ASSERT_TRUE(statsFile.good());
    const nlohmann::json stats = nlohmann::json::parse(statsFile);
    EXPECT_GE(stats["video"]["messages"].get<int>(), 60);
    EXPECT_EQ(stats["start_code"], "XVFB01");

    const std::string probe = commandOutput("ffprobe -v error -select_streams v:0 -show_entries "
                                            "stream=codec_name,width,height -of csv=p=0 '" +
                                            (out / "video.h264").string() + "'");
    EXPECT_EQ(probe, "h264,1280,720\n");
    std::filesystem::remove_all(out);
}

#endif

} // namespace
} // namespace pixpipe
