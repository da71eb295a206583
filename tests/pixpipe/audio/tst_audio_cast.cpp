// Whole casts with sound: the AAC that reaches a receiver, audio failures that
// leave the picture flowing, and the system sound under PulseAudio.
#include "childprocess.h"
#include "fake_receiver.h"
#include "log_capture.h"
#include "pixpipe.h"
#include "platform/capture_sources.h"
#include "receiverchild.h"
#include "tone_analysis.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace pixpipe {
namespace {

using namespace std::chrono_literals;
using pixpipe::testing::FakeReceiver;
using pixpipe::testing::Link;
using pixpipe::testing::LogCapture;

constexpr char kPacedPicture[] = "testsrc2=size=320x240:rate=15,realtime";
constexpr char kPacedTone[] = "sine=frequency=1000:sample_rate=44100,arealtime";

class CodeRecorder {
public:
    static void callback(intptr_t userData, int code) {
        auto *self = reinterpret_cast<CodeRecorder *>(userData);
        std::lock_guard<std::mutex> lock(self->m_mutex);
        self->m_codes.push_back(code);
        self->m_changed.notify_all();
    }
    intptr_t userData() { return reinterpret_cast<intptr_t>(this); }
    bool waitForCode(std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [this] { return !m_codes.empty(); });
    }
    std::vector<int> codes() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_codes;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<int> m_codes;
};

// A named pipe that the audio capture thread opens as its device, so that the
// test decides when the device answers: after the callback is registered.
class SoundPipe {
public:
    SoundPipe()
        : m_path(std::filesystem::temp_directory_path() /
                 ("pixpipe-sound-" + std::to_string(getpid()))) {
        std::filesystem::remove(m_path);
        m_made = mkfifo(m_path.c_str(), 0600) == 0;
    }
    ~SoundPipe() {
        if (m_writer.joinable())
            m_writer.join();
        std::filesystem::remove(m_path);
    }

    bool made() const { return m_made; }
    std::string path() const { return m_path.string(); }

    // Opens the writing end once the reader is there and closes it at once:
    // the device delivers nothing at all.
    bool closeEmpty() {
        const int fd = openWriter();
        if (fd < 0)
            return false;
        close(fd);
        return true;
    }

    // Writes seconds of a 1 kHz mono s16le tone at 44100 Hz from a thread.
    bool feedTone(double seconds) {
        const int fd = openWriter();
        if (fd < 0)
            return false;
        m_writer = std::thread([fd, seconds] {
            // The engine may close the device before the tone ends; the write
            // then fails instead of ending the test process.
            sigset_t pipeSignal;
            sigemptyset(&pipeSignal);
            sigaddset(&pipeSignal, SIGPIPE);
            pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
            const int count = static_cast<int>(seconds * 44100);
            std::vector<int16_t> samples(count);
            for (int n = 0; n < count; ++n)
                samples[n] = static_cast<int16_t>(8000 * std::sin(2 * M_PI * 1000.0 * n / 44100));
            const char *data = reinterpret_cast<const char *>(samples.data());
            size_t left = samples.size() * sizeof(int16_t);
            while (left > 0) {
                const ssize_t written = write(fd, data, left);
                if (written <= 0)
                    break;
                data += written;
                left -= static_cast<size_t>(written);
            }
            close(fd);
        });
        return true;
    }

private:
    // Non-blocking opens fail until the reader has the pipe open.
    int openWriter() {
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (std::chrono::steady_clock::now() < deadline) {
            const int fd = open(m_path.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) {
                fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
                return fd;
            }
            std::this_thread::sleep_for(10ms);
        }
        return -1;
    }

    std::filesystem::path m_path;
    bool m_made = false;
    std::thread m_writer;
};

void useSources(const CaptureSource &audio) {
    CaptureSources sources;
    sources.video = {"lavfi", kPacedPicture, {}, false};
    sources.audio = audio;
    setCaptureSourcesForTesting(sources);
}

size_t videoMessages(FakeReceiver &receiver) {
    size_t count = 0;
    for (const auto &message : receiver.messages(Link::Control))
        count += message.header.type == MSG_VIDEO;
    return count;
}

int startCastTo(uint16_t port) {
    char host[] = "127.0.0.1";
    char code[] = "AUD10A";
    return startCapture(host, port, code, 320, 240);
}

// After an audio failure the picture keeps reaching the receiver and nothing
// has been released before the stop.
void expectVideoGoesOnWithoutRelease(FakeReceiver &receiver, const LogCapture &log) {
    const size_t before = videoMessages(receiver);
    EXPECT_TRUE(
        receiver.waitUntil([&](FakeReceiver &r) { return videoMessages(r) >= before + 10; }, 10s))
        << "video stopped after the audio failure";
    EXPECT_FALSE(log.contains("release m_flagcap")) << "the cast was released";
}

class AudioCastTest : public ::testing::Test {
protected:
    void TearDown() override { resetCaptureSourcesForTesting(); }
};

TEST_F(AudioCastTest, AMissingDeviceGives1005WhileTheVideoGoesOn) {
    SoundPipe pipe;
    ASSERT_TRUE(pipe.made());
    // A WAV device that ends before its header: it cannot be opened.
    useSources({"wav", pipe.path(), {}, false});
    FakeReceiver receiver;
    CodeRecorder recorder;
    LogCapture log;

    ASSERT_EQ(startCastTo(receiver.controlPort()), 1);
    ASSERT_EQ(setCallback(recorder.userData(), CodeRecorder::callback), 0);
    ASSERT_TRUE(pipe.closeEmpty());

    ASSERT_TRUE(recorder.waitForCode(10s));
    EXPECT_EQ(recorder.codes(), std::vector<int>{1005});
    expectVideoGoesOnWithoutRelease(receiver, log);
    EXPECT_TRUE(receiver.messages(Link::Audio).empty());

    EXPECT_EQ(stopCapture(), 0);
    EXPECT_TRUE(log.contains("audio encode thread is exit.\n"));
    EXPECT_TRUE(log.contains("exit audio send thread.\n"));
    EXPECT_EQ(recorder.codes(), std::vector<int>{1005});
}

TEST_F(AudioCastTest, ARefusedAudioPortGives1011AfterTwentyAttemptsWhileTheVideoGoesOn) {
    SoundPipe pipe;
    ASSERT_TRUE(pipe.made());
    useSources({"s16le", pipe.path(), {{"sample_rate", "44100"}, {"ch_layout", "mono"}}, false});
    testing::ReceiverOptions options;
    options.listenAudio = false;
    FakeReceiver receiver(options);
    CodeRecorder recorder;
    LogCapture log;

    ASSERT_EQ(startCastTo(receiver.controlPort()), 1);
    ASSERT_EQ(setCallback(recorder.userData(), CodeRecorder::callback), 0);
    ASSERT_TRUE(pipe.feedTone(3.0));

    ASSERT_TRUE(recorder.waitForCode(10s));
    EXPECT_EQ(recorder.codes(), std::vector<int>{1011});
    for (int attempt = 1; attempt <= 19; ++attempt)
        EXPECT_EQ(log.countLines("audio reconnect is failed " + std::to_string(attempt)), 1)
            << attempt;
    EXPECT_EQ(log.countLines("audio reconnect is failed 20"), 0);
    EXPECT_EQ(log.countLines("audio reconnetct is failed"), 1);
    expectVideoGoesOnWithoutRelease(receiver, log);

    EXPECT_EQ(stopCapture(), 0);
    EXPECT_EQ(recorder.codes(), std::vector<int>{1011});
}

// cast-receiver writes what arrives on the audio link to audio.aac.
class ReceivedSoundTest : public AudioCastTest {
protected:
    void SetUp() override { m_out = test_support::freshOutputFolder("pixpipe-audio"); }
    void TearDown() override {
        std::filesystem::remove_all(m_out);
        AudioCastTest::TearDown();
    }

    // Casts for the given time to a cast-receiver that states audioRate in
    // its ADTS headers, then decodes the audio.aac it wrote.
    test::DecodedSound castAndDecode(std::chrono::milliseconds duration, const char *audioRate) {
        test_support::ChildProcess receiver(
            {CAST_RECEIVER_PATH, "--port", "0", "--out", m_out.string(), "--audio-rate", audioRate},
            true);
        EXPECT_TRUE(receiver.started());
        std::string ready;
        const int port = test_support::readControlPort(receiver, ready);
        if (port < 0) {
            ADD_FAILURE() << "cast-receiver did not start: " << ready;
            return {};
        }
        EXPECT_EQ(startCastTo(static_cast<uint16_t>(port)), 1);
        std::this_thread::sleep_for(duration);
        EXPECT_EQ(stopCapture(), 0);
        EXPECT_TRUE(receiver.waitForExit(10s));
        return test::decodeSoundFile((m_out / "audio.aac").string());
    }

    std::filesystem::path m_out;
};

TEST_F(ReceivedSoundTest, TheReceivedAacDecodesToTheInputTone) {
    useSources({"lavfi", kPacedTone, {}, false});
    const test::DecodedSound sound = castAndDecode(3s, "44100");

    EXPECT_EQ(sound.codecName, "aac");
    EXPECT_EQ(sound.channels, 2);
    EXPECT_EQ(sound.sampleRate, 44100);
    EXPECT_GT(sound.samples.size(), 44100u * 2);
    EXPECT_NEAR(test::dominantFrequency(sound.samples, 44100), 1000.0, 6.0);
}

double rootMeanSquare(const std::vector<float> &samples) {
    double sum = 0.0;
    for (float sample : samples)
        sum += sample * sample;
    return samples.empty() ? 0.0 : std::sqrt(sum / samples.size());
}

TEST_F(ReceivedSoundTest, TheSystemSoundReachesTheReceiver) {
    if (!std::getenv("YOXI_PULSE_READY"))
        GTEST_SKIP() << "needs the PulseAudio null sink (scripts/test-session)";
    CaptureSources sources = platformCaptureSources();
    useSources(sources.audio);

    // What the machine plays: a 1 kHz tone into the default sink.
    test_support::ChildProcess player({"ffmpeg", "-nostdin", "-loglevel", "error", "-re", "-f",
                                       "lavfi", "-i", "sine=frequency=1000:sample_rate=48000", "-t",
                                       "20", "-f", "pulse", "yoxi-test-tone"},
                                      false);
    ASSERT_TRUE(player.started());
    // FFmpeg's pulse input records at 48000 Hz unless told otherwise.
    const test::DecodedSound sound = castAndDecode(5s, "48000");
    player.terminate();

    EXPECT_EQ(sound.codecName, "aac");
    EXPECT_EQ(sound.sampleRate, 48000);
    ASSERT_GT(sound.samples.size(), 48000u);
    EXPECT_NEAR(test::dominantFrequency(sound.samples, 48000), 1000.0, 6.0);
    EXPECT_GT(rootMeanSquare(sound.samples), 0.01) << "the received sound is silent";
}

} // namespace
} // namespace pixpipe
