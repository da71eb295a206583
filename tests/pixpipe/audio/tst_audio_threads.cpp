// The audio capture and encode threads run directly on a cast context, fed by
// an FFmpeg lavfi source in place of the sound device; the test stands in for
// the audio send thread by consuming the queues.
#include "audio/aac_encoder.h"
#include "audio/audio_decoder.h"
#include "audio/loopback_reader.h"
#include "callback_recorder.h"
#include "lifecycle/cast_lifecycle.h"
#include "lifecycle/worker_threads.h"
#include "platform/capture_sources.h"
#include "platform/clock.h"
#include "queue/media_queues.h"
#include "tone_analysis.h"
#include "worker_test_cast.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <deque>
#include <thread>
#include <vector>

extern "C" {
#include <libavdevice/avdevice.h>
}

namespace pixpipe {
namespace {

constexpr char kMonoTone[] = "sine=frequency=1000:sample_rate=44100:samples_per_frame=441";

// The loopback the tests script: per read one queued packet of interleaved
// stereo floats, or nothing while none is queued; a lost device once told.
struct LoopbackScript {
    int sampleRate = 48000;
    std::deque<std::vector<float>> packets;
    std::atomic<bool> lost{false};
} g_loopback;

class ScriptedLoopback : public LoopbackClient {
public:
    LoopbackFormat format() const override {
        return {g_loopback.sampleRate, 2, LoopbackSampleType::Float32};
    }
    LoopbackStatus read(std::vector<uint8_t> &samples) override {
        if (g_loopback.lost)
            return LoopbackStatus::DeviceLost;
        if (!g_loopback.packets.empty()) {
            const std::vector<float> &packet = g_loopback.packets.front();
            const auto *bytes = reinterpret_cast<const uint8_t *>(packet.data());
            samples.insert(samples.end(), bytes, bytes + packet.size() * sizeof(float));
            g_loopback.packets.pop_front();
        }
        return LoopbackStatus::Ok;
    }
};

std::unique_ptr<LoopbackClient> openScriptedLoopback() {
    return std::make_unique<ScriptedLoopback>();
}

class AudioThreadsTest : public ::testing::Test {
protected:
    void SetUp() override {
        avdevice_register_all();
        audioFrameQueue.attachReadyEvent(&m_cast.m_audioFrameEvent);
        audioPacketQueue.attachReadyEvent(&m_cast.m_audioPacketEvent);
        // Only the two audio threads under test run in this cast.
        testing::prepareWorkerTestCast(m_cast, m_recorder, {audioCaptureThread, audioEncodeThread});
    }

    void TearDown() override {
        m_cast.m_audioRunning = 0;
        wakeAllConsumers(&m_cast);
        joinThreads();
        // A thread this test did not start cannot set its own done flag.
        if (!m_captureStarted)
            m_cast.m_flagacap = 1;
        if (!m_encodeStarted)
            m_cast.m_flagaenc = 1;
        release(&m_cast);
        audioFrameQueue.attachReadyEvent(nullptr);
        audioPacketQueue.attachReadyEvent(nullptr);
        resetCaptureSourcesForTesting();
    }

    void useAudioSource(const std::string &inputFormat, const std::string &device) {
        CaptureSources sources = platformCaptureSources();
        sources.audio.inputFormat = inputFormat;
        sources.audio.device = device;
        sources.audio.useScreenOptions = false;
        setCaptureSourcesForTesting(sources);
    }

    void startCapture() {
        m_captureStarted = true;
        m_captureThread = std::thread([this] { m_captureResult = audioCaptureThread(&m_cast); });
    }
    void startEncode() {
        m_encodeStarted = true;
        m_encodeThread = std::thread([this] { m_encodeResult = audioEncodeThread(&m_cast); });
    }

    void joinThreads() {
        if (m_captureThread.joinable())
            m_captureThread.join();
        if (m_encodeThread.joinable())
            m_encodeThread.join();
    }

    // Takes items until the end marker comes, as a consumer does after the
    // audio side stopped.
    template <typename Item> void drainToEndMarker(MediaQueue<Item> &queue) {
        while (true) {
            Item *item = queue.waitAndTake();
            if (!item)
                continue;
            const bool end = isEndMarker(item);
            freeMediaItem(item);
            if (end)
                return;
        }
    }

    CastContext m_cast;
    std::thread m_captureThread;
    std::thread m_encodeThread;
    bool m_captureStarted = false;
    bool m_encodeStarted = false;
    int m_captureResult = 0;
    int m_encodeResult = 0;
    testing::CallbackRecorder m_recorder;
};

TEST_F(AudioThreadsTest, MonoPacketsOf441BecomeWholeStereoFramesWithNoSampleLost) {
    useAudioSource("lavfi", kMonoTone);
    startCapture();

    constexpr int kFrames = 40;
    std::vector<float> left;
    for (int taken = 0; taken < kFrames;) {
        AVFrame *frame = audioFrameQueue.waitAndTake();
        if (!frame)
            continue;
        ++taken;
        EXPECT_EQ(frame->nb_samples, 1024);
        EXPECT_EQ(frame->ch_layout.nb_channels, 2);
        EXPECT_EQ(frame->sample_rate, 44100);
        ASSERT_EQ(frame->format, AV_SAMPLE_FMT_FLTP);
        const auto *first = reinterpret_cast<const float *>(frame->data[0]);
        const auto *second = reinterpret_cast<const float *>(frame->data[1]);
        for (int i = 0; i < frame->nb_samples; ++i) {
            ASSERT_FLOAT_EQ(first[i], second[i]) << "mono must reach both channels alike";
            left.push_back(first[i]);
        }
        av_frame_free(&frame);
    }

    // 40 frames of 1024 samples span 93 input packets of 441: any remainder
    // dropped or repeated at a frame boundary breaks the sine's phase.
    double gain = 0.0;
    EXPECT_LT(test::sineFitDeviation(left, 1000.0, 44100, &gain), 0.01);
    EXPECT_GT(gain, 0.05);

    m_cast.m_audioRunning = 0;
    drainToEndMarker(audioFrameQueue);
    joinThreads();
    EXPECT_EQ(m_captureResult, 1);
    EXPECT_EQ(m_cast.m_flagacap.load(), 1);
    EXPECT_TRUE(m_recorder.codes().empty());
}

TEST_F(AudioThreadsTest, EncodesStampedAacOfTheToneAndBothThreadsExitOnStop) {
    useAudioSource("lavfi", kMonoTone);
    ::testing::internal::CaptureStdout();
    const int64_t before = wallClockStampMs();
    startCapture();
    startEncode();

    // Decode the packets again to hear what was encoded.
    const AVCodec *aac = avcodec_find_decoder(AV_CODEC_ID_AAC);
    AVCodecContext *decoder = avcodec_alloc_context3(aac);
    ASSERT_NE(decoder, nullptr);
    AVFrame *decoded = av_frame_alloc();
    std::vector<float> left;
    constexpr int kPackets = 60;
    for (int taken = 0; taken < kPackets;) {
        AVPacket *packet = audioPacketQueue.waitAndTake();
        if (!packet)
            continue;
        ++taken;
        const int64_t after = wallClockStampMs();
        EXPECT_GT(packet->size, 0);
        EXPECT_EQ(packet->pts, packet->dts);
        EXPECT_GE(packet->pts, before);
        EXPECT_LE(packet->pts, after);
        if (taken == 1) {
            // The encoder's parameters are set once it has produced output.
            ASSERT_EQ(
                avcodec_parameters_to_context(decoder, m_cast.m_audioOutput->streams[0]->codecpar),
                0);
            ASSERT_EQ(avcodec_open2(decoder, aac, nullptr), 0);
        }
        ASSERT_EQ(avcodec_send_packet(decoder, packet), 0);
        while (avcodec_receive_frame(decoder, decoded) == 0) {
            const auto *samples = reinterpret_cast<const float *>(decoded->data[0]);
            left.insert(left.end(), samples, samples + decoded->nb_samples);
        }
        av_packet_free(&packet);
    }
    EXPECT_EQ(decoder->ch_layout.nb_channels, 2);
    EXPECT_EQ(decoder->sample_rate, 44100);
    EXPECT_NEAR(test::dominantFrequency(left, 44100), 1000.0, 6.0);
    av_frame_free(&decoded);
    avcodec_free_context(&decoder);

    m_cast.m_audioRunning = 0;
    drainToEndMarker(audioPacketQueue);
    joinThreads();
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("audio capture thread is exit\n"), std::string::npos);
    EXPECT_NE(out.find("audio encode thread is exit.\n"), std::string::npos);
    EXPECT_EQ(m_captureResult, 1);
    EXPECT_EQ(m_encodeResult, 0);
    EXPECT_EQ(m_cast.m_flagacap.load(), 1);
    EXPECT_EQ(m_cast.m_flagaenc.load(), 1);
    EXPECT_TRUE(m_recorder.codes().empty());
}

// A device whose input ends: the whole frames it gave are encoded, then both
// threads end by their end markers; nothing is reported as a failure.
TEST_F(AudioThreadsTest, AnInputThatEndsEndsBothThreadsWithoutAFailure) {
    useAudioSource("lavfi", "sine=frequency=1000:sample_rate=44100:duration=1");
    startCapture();
    startEncode();

    int packets = 0;
    while (true) {
        AVPacket *packet = audioPacketQueue.waitAndTake();
        if (!packet)
            continue;
        const bool end = isEndMarker(packet);
        av_packet_free(&packet);
        if (end)
            break;
        ++packets;
    }
    joinThreads();
    // 44100 samples make 43 whole frames; the encoder holds one back.
    EXPECT_GE(packets, 40);
    EXPECT_LE(packets, 43);
    EXPECT_EQ(m_captureResult, 1);
    EXPECT_EQ(m_encodeResult, 0);
    EXPECT_TRUE(m_recorder.codes().empty());
}

struct SetUpFailure {
    const char *name;
    const char *inputFormat;
    const char *device;
    int code;
    const char *message;
};

class AudioSetUpFailureTest : public AudioThreadsTest,
                              public ::testing::WithParamInterface<SetUpFailure> {};

// Every set-up failure ends the audio side alone: one callback with its
// code, both threads end, nothing is released, no context is left half open.
TEST_P(AudioSetUpFailureTest, EndsTheAudioSideWithItsCode) {
    const SetUpFailure failure = GetParam();
    useAudioSource(failure.inputFormat, failure.device);
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    startEncode();
    startCapture();
    joinThreads();
    const std::string out = ::testing::internal::GetCapturedStdout();
    const std::string err = ::testing::internal::GetCapturedStderr();

    EXPECT_EQ(m_recorder.codes(), std::vector<int>{failure.code});
    EXPECT_NE(err.find(failure.message), std::string::npos) << err;
    EXPECT_EQ(m_captureResult, -1);
    EXPECT_EQ(out.find("audio capture thread is exit\n"), std::string::npos);
    EXPECT_NE(out.find("audio encode thread is exit.\n"), std::string::npos);
    EXPECT_EQ(m_encodeResult, 0);
    EXPECT_EQ(m_cast.m_audioRunning.load(), 0);
    EXPECT_EQ(m_cast.m_running.load(), 1);
    EXPECT_EQ(m_cast.m_flagacap.load(), 1);
    EXPECT_EQ(m_cast.m_flagaenc.load(), 1);
    EXPECT_FALSE(m_cast.m_released.load());
    EXPECT_EQ(m_cast.m_audioEncoder, nullptr);
    EXPECT_EQ(m_cast.m_audioOutput, nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Audio, AudioSetUpFailureTest,
    ::testing::Values(SetUpFailure{"MissingDevice", "lavfi", "no_such_source", 1005,
                                   "Couldn't open audio input stream.\n"},
                      SetUpFailure{"NoAudioStream", "lavfi", "testsrc=size=64x64:rate=5", 1007,
                                   "Didn't find audio stream.\n"},
                      // AAC has no 1234 Hz rate: the encoder cannot be opened.
                      SetUpFailure{"EncoderNotOpened", "lavfi", "sine=sample_rate=1234", 1010,
                                   "Could not open output codec (error '"}),
    [](const ::testing::TestParamInfo<SetUpFailure> &info) { return info.param.name; });

TEST(AudioDecoderTest, ADecoderThatCannotOpenLeavesNoContextBehind) {
    CastContext cast;
    cast.m_audioInput = avformat_alloc_context();
    ASSERT_NE(cast.m_audioInput, nullptr);
    AVStream *stream = avformat_new_stream(cast.m_audioInput, nullptr);
    ASSERT_NE(stream, nullptr);
    stream->codecpar->codec_type = AVMEDIA_TYPE_AUDIO;
    stream->codecpar->codec_id = AV_CODEC_ID_NONE;

    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(openAudioDecoder(&cast, stream));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Could not find input codec\n");
    EXPECT_EQ(cast.m_audioDecoder, nullptr);
    EXPECT_EQ(cast.m_audioInput, nullptr);
}

// Nothing plays for 0.5 s, a 1 kHz tone plays for 1 s in 10 ms packets, then
// nothing for 0.5 s, read every 10 ms of a test clock: the quiet stretches
// become silence that keeps 48 kHz time, and the tone passes whole through
// the converter and the FIFO.
TEST(LoopbackReaderTest, QuietBecomesSilenceOnTheClockAndTheToneConvertsWhole) {
    g_loopback.sampleRate = 48000;
    g_loopback.lost = false;
    int64_t nowMs = 0;
    LoopbackReader reader(openScriptedLoopback(), [&nowMs] { return nowMs; });

    CastContext cast;
    ASSERT_TRUE(openAacEncoder(&cast, reader.input().sampleRate));
    ASSERT_TRUE(createResampler(&cast, reader.input()));
    ASSERT_TRUE(createSampleFifo(&cast));
    int64_t samplesRead = 0;
    auto readFor = [&](int ms) {
        for (const int64_t end = nowMs + ms; nowMs < end; nowMs += 10) {
            AVFrame *frame = av_frame_alloc();
            const DecodeResult result = reader.read(frame);
            ASSERT_EQ(result.error, 0);
            if (result.dataPresent) {
                samplesRead += frame->nb_samples;
                ASSERT_EQ(convertIntoFifo(cast.m_resampler, cast.m_sampleFifo, cast.m_audioEncoder,
                                          frame),
                          0);
            }
            av_frame_free(&frame);
        }
    };

    readFor(500);
    const int64_t quietSlack = 48 * LoopbackReader::kQuietMs; // silence owed comes only then
    EXPECT_GE(samplesRead, 24000 - quietSlack);
    EXPECT_LE(samplesRead, 24000);
    const int64_t toneStart = samplesRead;
    for (int n = 0; n < 48000; ++n) { // in packets of 10 ms
        const float value = 0.5f * std::sin(2 * M_PI * 1000 * n / 48000.0);
        if (n % 480 == 0)
            g_loopback.packets.emplace_back();
        g_loopback.packets.back().insert(g_loopback.packets.back().end(), {value, value});
    }
    readFor(1000);
    EXPECT_EQ(samplesRead, toneStart + 48000) << "no silence may be added while sound plays";
    readFor(500);
    EXPECT_GE(samplesRead, 96000 - quietSlack);
    EXPECT_LE(samplesRead, 96000);

    std::vector<float> left(samplesRead), right(samplesRead);
    void *planes[] = {left.data(), right.data()};
    ASSERT_EQ(av_audio_fifo_read(cast.m_sampleFifo, planes, samplesRead), samplesRead);
    const std::vector<float> tone(left.begin() + toneStart, left.begin() + toneStart + 48000);
    double gain = 0.0;
    EXPECT_LT(test::sineFitDeviation(tone, 1000.0, 48000, &gain), 0.01);
    EXPECT_NEAR(gain, 0.5, 0.01);
    for (int64_t i = 0; i < toneStart; ++i)
        ASSERT_EQ(left[i], 0.0f) << "sample " << i;

    for (const WorkerThread &worker : kWorkerThreads)
        (cast.*worker.doneFlag) = 1;
    release(&cast);
}

// The audio device cannot be opened and the loopback fallback, mixing at
// 192 kHz, plays nothing: silence paced by the clock reaches the encoder at
// 48 kHz; a lost device then ends the audio side with 1008, as a failed read
// does.
TEST_F(AudioThreadsTest, WithoutTheDeviceTheLoopbackCastsSilenceUntilItsDeviceIsLost) {
    CaptureSources sources;
    sources.audio = {"lavfi", "no_such_source", {}, false};
    sources.audioLoopbackFallback = openScriptedLoopback;
    setCaptureSourcesForTesting(sources);
    g_loopback.sampleRate = 192000;
    g_loopback.lost = false;
    ::testing::internal::CaptureStdout();
    startCapture();
    startEncode();

    int taken = 0;
    for (bool end = false; taken < 5 && !end;) {
        AVPacket *packet = audioPacketQueue.waitAndTake();
        end = packet && isEndMarker(packet);
        taken += packet && !end ? 1 : 0;
        av_packet_free(&packet);
    }
    EXPECT_EQ(taken, 5) << "the audio side ended early";
    EXPECT_EQ(m_cast.m_audioEncoder ? m_cast.m_audioEncoder->sample_rate : 0, 48000);
    g_loopback.lost = true;
    if (taken == 5)
        drainToEndMarker(audioPacketQueue);
    joinThreads();
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("audio source: loopback of the default playback device\n"),
              std::string::npos);
    EXPECT_EQ(m_recorder.codes(), std::vector<int>{1008});
    EXPECT_EQ(m_captureResult, -1);
    EXPECT_EQ(m_cast.m_running.load(), 1);
}

} // namespace
} // namespace pixpipe
