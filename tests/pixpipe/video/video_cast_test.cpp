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
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
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

extern char **environ;

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

// A child process with its standard output on a pipe.
class ChildProcess {
public:
    explicit ChildProcess(const std::vector<std::string> &arguments) {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        std::vector<char *> argv;
        for (const std::string &argument : arguments)
            argv.push_back(const_cast<char *>(argument.c_str()));
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        m_output = fdopen(fds[0], "r");
    }

    ~ChildProcess() {
        if (m_pid > 0 && !waitForExit(0ms)) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        if (m_output)
            fclose(m_output);
    }

    // The next line of the child's output; empty at its end.
    std::string readLine() {
        char line[512];
        return m_output && fgets(line, sizeof line, m_output) ? line : "";
    }

    bool waitForExit(std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        do {
            if (waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
                m_pid = -1;
                return true;
            }
            std::this_thread::sleep_for(20ms);
        } while (std::chrono::steady_clock::now() < deadline);
        return false;
    }

    bool started() const { return m_pid > 0 && m_output; }

private:
    pid_t m_pid = -1;
    FILE *m_output = nullptr;
};

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
    ChildProcess receiver({CAST_RECEIVER_PATH, "--port", "0", "--out", out.string()});
    ASSERT_TRUE(receiver.started());
    std::smatch match;
    const std::string ready = receiver.readLine();
    ASSERT_TRUE(std::regex_search(ready, match, std::regex("listening control=(\\d+)"))) << ready;
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
    EXPECT_TRUE(receiver.waitForExit(10s));

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
