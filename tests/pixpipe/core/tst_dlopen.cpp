// A host program's view of the engine: it loads the shared library by path,
// resolves the three functions by name, and casts to the test receiver
// process until the receiver ends the cast with its quit message.
#include "childprocess.h"
#include "loaded_engine.h"
#include "receiverchild.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <vector>

namespace {

struct Notifications {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<int> codes;
};

void PIXPIPE_CALL onCode(intptr_t userData, int code) {
    auto *notifications = reinterpret_cast<Notifications *>(userData);
    std::lock_guard<std::mutex> lock(notifications->mutex);
    notifications->codes.push_back(code);
    notifications->changed.notify_all();
}

TEST(LoadedLibrary, CastsToCastReceiverUntilItsQuitMessage) {
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "the screen capture needs an X display (scripts/test-session)";

    const std::filesystem::path out = test_support::freshOutputFolder("pixpipe-dlopen");
    test_support::ChildProcess receiver({"timeout", "30", CAST_RECEIVER_PATH, "--port", "0",
                                         "--quit-after", "2", "--out", out.string()},
                                        true);
    ASSERT_TRUE(receiver.started());
    std::string line;
    const int port = test_support::readControlPort(receiver, line);
    ASSERT_GE(port, 0) << line;

    pixpipe::testing::LoadedEngine engine;
    std::string error;
    ASSERT_TRUE(pixpipe::testing::loadEngine(PIXPIPE_LIBRARY_PATH, engine, error)) << error;

    Notifications notifications;
    char host[] = "127.0.0.1";
    char code[] = "731905";
    ASSERT_EQ(engine.startCapture(host, port, code, 640, 360), 1);
    ASSERT_EQ(engine.setCallback(reinterpret_cast<intptr_t>(&notifications), onCode), 0);
    {
        std::unique_lock<std::mutex> lock(notifications.mutex);
        EXPECT_TRUE(notifications.changed.wait_for(lock, std::chrono::seconds(10), [&] {
            return std::find(notifications.codes.begin(), notifications.codes.end(), 0) !=
                   notifications.codes.end();
        }));
    }
    auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(engine.stopCapture(), 0);
    auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
                    std::chrono::steady_clock::now() - begin)
                    .count();
    std::printf("stop after the quit took %lld ms\n", static_cast<long long>(took));
    EXPECT_LT(took, 2000);

    // Sound may be missing on the machine (an audio code); the cast itself
    // ends once, with 0.
    std::lock_guard<std::mutex> lock(notifications.mutex);
    for (int notified : notifications.codes)
        EXPECT_TRUE(notified == 0 || (notified >= 1005 && notified <= 1011)) << notified;
    EXPECT_EQ(std::count(notifications.codes.begin(), notifications.codes.end(), 0), 1);

    while (!receiver.readLine().empty())
        continue;
    EXPECT_TRUE(receiver.waitForExit(std::chrono::seconds(30)));
    EXPECT_EQ(receiver.exitStatus(), 0);
    std::ifstream statsFile(out / "stats.json");
    ASSERT_TRUE(statsFile.good());
    nlohmann::json stats = nlohmann::json::parse(statsFile);
    EXPECT_EQ(stats["start_code"], "731905");
    EXPECT_EQ(stats["quit_sent"], true);
    EXPECT_EQ(stats["framing_errors"], 0);
    std::filesystem::remove_all(out);
}

} // namespace
