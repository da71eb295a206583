// The video capture and encode threads run directly on a cast context, fed
// by an FFmpeg lavfi test picture in place of the screen; the test stands in
// for the video send thread by consuming the packet queue.
#include "callback_recorder.h"
#include "h264_inspection.h"
#include "lifecycle/cast_lifecycle.h"
#include "lifecycle/worker_threads.h"
#include "log_capture.h"
#include "platform/capture_sources.h"
#include "platform/clock.h"
#include "queue/media_queues.h"
#include "video/band_converter.h"
#include "video/conversion_counts.h"
#include "video/frame_scaler.h"
#include "video/scaler_context.h"
#include "worker_test_cast.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <future>
#include <map>
#include <string>
#include <vector>

extern "C" {
#include <libavdevice/avdevice.h>
#include <libswscale/swscale.h>
}

namespace pixpipe {
namespace {

using namespace std::chrono_literals;

constexpr char kTestPicture[] = "testsrc2=size=640x360:rate=15";

struct CapturedPacket {
    std::vector<uint8_t> body;
    int64_t pts = 0;
    int64_t dts = 0;
    int64_t takenAtMs = 0; // the test's own wall clock when the packet was taken
};

int64_t testWallClockMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

bool sameLuma(const AVFrame *a, const AVFrame *b) {
    for (int row = 0; row < a->height; ++row) {
        if (std::memcmp(a->data[0] + row * a->linesize[0], b->data[0] + row * b->linesize[0],
                        a->width) != 0)
            return false;
    }
    return true;
}

class VideoThreadsTest : public ::testing::Test {
protected:
    void SetUp() override {
        avdevice_register_all();
        videoFrameQueue.reset();
        videoPacketQueue.reset();
        videoFrameQueue.attachReadyEvent(&m_cast.m_videoFrameEvent);
        videoPacketQueue.attachReadyEvent(&m_cast.m_videoPacketEvent);
        // Only the video threads under test run in this cast.
        testing::prepareWorkerTestCast(m_cast, m_recorder, {videoCaptureThread, videoEncodeThread});
    }

    void TearDown() override {
        stopCast();
        joinThreads();
        m_cast.m_flagcap = 1;
        m_cast.m_flagenc = 1;
        release(&m_cast);
        videoFrameQueue.attachReadyEvent(nullptr);
        videoPacketQueue.attachReadyEvent(nullptr);
        resetCaptureSourcesForTesting();
    }

    void useVideoSource(const std::string &inputFormat, const std::string &device,
                        const std::map<std::string, std::string> &options = {}) {
        CaptureSources sources = platformCaptureSources();
        sources.video = CaptureSource{inputFormat, device, options, false};
        setCaptureSourcesForTesting(sources);
    }

    void startThreads(int width, int height, bool withEncoder = true) {
        m_cast.m_width = width;
        m_cast.m_height = height;
        if (!withEncoder)
            m_cast.m_flagenc = 1;
        m_capture = std::async(std::launch::async, [this] { return videoCaptureThread(&m_cast); });
        if (withEncoder)
            m_encode =
                std::async(std::launch::async, [this] { return videoEncodeThread(&m_cast); });
    }

    // What stopCapture does to the running flags.
    void stopCast() {
        m_cast.m_audioRunning = 0;
        m_cast.m_running = 0;
    }

    // Waits for a thread's result; -100 when it did not end in time.
    static int resultOf(std::future<int> &thread) {
        if (!thread.valid())
            return -100;
        if (thread.wait_for(10s) != std::future_status::ready)
            return -100;
        return thread.get();
    }

    void joinThreads() {
        for (auto *thread : {&m_capture, &m_encode}) {
            if (thread->valid())
                thread->wait();
        }
    }

    // Takes the next item of a queue as its consumer would, without
    // blocking past the deadline. nullptr when none came in time.
    template <typename Item>
    static Item *takeWithin(MediaQueue<Item> &queue, std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            if (queue.count() > 0)
                return queue.waitAndTake();
            sleepMs(2);
        }
        return nullptr;
    }

    // Runs the capture thread alone until the frame queue is full, stops it
    // and takes every frame it queued, in order.
    std::vector<AVFrame *> captureUntilQueueFull(int width, int height) {
        startThreads(width, height, false);
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (videoFrameQueue.count() < FrameQueue::kProducerLimit &&
               std::chrono::steady_clock::now() < deadline)
            sleepMs(5);
        EXPECT_EQ(videoFrameQueue.count(), FrameQueue::kProducerLimit);
        stopCast();
        EXPECT_EQ(resultOf(m_capture), 1);

        std::vector<AVFrame *> frames;
        while (AVFrame *frame = takeWithin(videoFrameQueue, 100ms)) {
            if (isEndMarker(frame)) {
                freeMediaItem(frame);
                break;
            }
            frames.push_back(frame);
        }
        return frames;
    }

    // Takes n packets from the packet queue, as the send thread would.
    std::vector<CapturedPacket> takePackets(size_t n) {
        std::vector<CapturedPacket> packets;
        while (packets.size() < n) {
            AVPacket *packet = takeWithin(videoPacketQueue, 10000ms);
            if (!packet)
                break;
            if (isEndMarker(packet)) {
                freeMediaItem(packet);
                break;
            }
            packets.push_back({std::vector<uint8_t>(packet->data, packet->data + packet->size),
                               packet->pts, packet->dts, testWallClockMs()});
            freeMediaItem(packet);
        }
        return packets;
    }

    static std::vector<std::vector<uint8_t>> bodies(const std::vector<CapturedPacket> &packets) {
        std::vector<std::vector<uint8_t>> out;
        for (const auto &packet : packets)
            out.push_back(packet.body);
        return out;
    }

    CastContext m_cast;
    std::future<int> m_capture;
    std::future<int> m_encode;
    testing::CallbackRecorder m_recorder;
};

TEST_F(VideoThreadsTest, ForcesIntraEveryEightyFramesStampsWallClockAndMeetsBitRate) {
    useVideoSource("lavfi", kTestPicture);
    startThreads(640, 360);
    const std::vector<CapturedPacket> packets = takePackets(161);
    ASSERT_EQ(packets.size(), 161u);

    const std::vector<DecodedPicture> pictures = decodeH264(bodies(packets));
    ASSERT_EQ(pictures.size(), 161u);
    EXPECT_TRUE(pictures[0].intra);
    EXPECT_TRUE(pictures[80].intra);
    EXPECT_TRUE(pictures[160].intra);
    EXPECT_FALSE(pictures[79].intra);
    EXPECT_FALSE(pictures[159].intra);

    // At this size the test picture is rich enough for the rate control to
    // spend the configured 1300 kbit/s: 160 pictures after the first are
    // 10 2/3 s of stream at 15 per second.
    size_t bytes = 0;
    for (size_t i = 1; i < packets.size(); ++i)
        bytes += packets[i].body.size();
    const double kbitPerSecond = bytes * 8.0 / (160.0 / 15.0) / 1000.0;
    EXPECT_NEAR(kbitPerSecond, 1300.0, 130.0);

    for (const CapturedPacket &packet : packets) {
        EXPECT_EQ(packet.pts, packet.dts);
        EXPECT_GE(packet.pts, 0);
        EXPECT_LE(packet.pts, int64_t{0xFFFFFFFF});
        // Compare on the 32-bit circle so that a wrap between the two
        // readings does not matter.
        const auto mine = static_cast<uint32_t>(packet.takenAtMs);
        const auto difference = static_cast<int32_t>(mine - static_cast<uint32_t>(packet.pts));
        EXPECT_GE(difference, 0);
        EXPECT_LT(difference, 1000);
    }

    stopCast();
    EXPECT_EQ(resultOf(m_capture), 1);
    EXPECT_EQ(resultOf(m_encode), 1);
    EXPECT_TRUE(m_recorder.codes().empty());
}

TEST_F(VideoThreadsTest, EncodesExactlyTheRequestedSize) {
    struct Case {
        int width;
        int height;
    };
    // Smaller with another aspect ratio, larger, and equal to the input
    // (where the scaler only converts the pixel format).
    for (const Case size : {Case{320, 240}, Case{1280, 720}, Case{640, 360}}) {
        SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height));
        useVideoSource("lavfi", kTestPicture);
        m_cast.m_running = 1;
        startThreads(size.width, size.height);
        const std::vector<CapturedPacket> packets = takePackets(10);
        stopCast();
        EXPECT_EQ(resultOf(m_capture), 1);
        EXPECT_EQ(resultOf(m_encode), 1);
        videoFrameQueue.reset();
        videoPacketQueue.reset();
        // The context of this run goes before the next one opens its own.
        avformat_close_input(&m_cast.m_videoInput);
        avcodec_free_context(&m_cast.m_videoDecoder);
        avcodec_free_context(&m_cast.m_videoEncoder);

        const std::vector<DecodedPicture> pictures = decodeH264(bodies(packets));
        ASSERT_EQ(pictures.size(), 10u);
        for (const DecodedPicture &picture : pictures) {
            EXPECT_EQ(picture.width, size.width);
            EXPECT_EQ(picture.height, size.height);
        }
    }
}

TEST_F(VideoThreadsTest, QueuedFramesKeepTheirOwnPictures) {
    // No encoder runs: the capture thread fills the queue to its limit and
    // every waiting frame must still show the picture it was queued with.
    useVideoSource("lavfi", kTestPicture);
    std::vector<AVFrame *> frames = captureUntilQueueFull(320, 180);
    // Fourteen waited; a fifteenth may have been waiting to be added when
    // the stop came, and then takes the end marker's place.
    ASSERT_GE(frames.size(), static_cast<size_t>(FrameQueue::kProducerLimit));
    ASSERT_LE(frames.size(), static_cast<size_t>(FrameQueue::kSlots));
    for (size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(frames[i]->width, 320);
        EXPECT_EQ(frames[i]->height, 180);
        EXPECT_EQ(frames[i]->format, AV_PIX_FMT_YUV420P);
        EXPECT_EQ(frames[i]->pict_type == AV_PICTURE_TYPE_I, i == 0);
    }
    // The test picture moves, so no two of these pictures are alike; a
    // picture buffer handed to a new frame while an older one still waited
    // would make the older one show the newer picture.
    for (size_t i = 0; i < frames.size(); ++i) {
        for (size_t j = i + 1; j < frames.size(); ++j)
            EXPECT_FALSE(sameLuma(frames[i], frames[j]))
                << "frames " << i << " and " << j << " show the same picture";
    }
    for (AVFrame *frame : frames)
        freeMediaItem(frame);
}

TEST_F(VideoThreadsTest, StillPicturesGiveAFrameEveryTickAndChangesComeThrough) {
    // A picture that changes three times a second, captured fifteen times a
    // second: runs of five identical pictures, as on a slide show.
    useVideoSource("lavfi", "testsrc2=size=640x360:rate=3,fps=15");
    std::vector<AVFrame *> frames = captureUntilQueueFull(320, 180);
    ASSERT_GE(frames.size(), static_cast<size_t>(FrameQueue::kProducerLimit));
    // Every captured picture gave a frame, and every change shows: between
    // two changes the same picture repeats exactly five times.
    std::vector<size_t> changes;
    for (size_t i = 1; i < frames.size(); ++i) {
        if (!sameLuma(frames[i - 1], frames[i]))
            changes.push_back(i);
    }
    ASSERT_GE(changes.size(), 2u);
    for (size_t i = 1; i < changes.size(); ++i)
        EXPECT_EQ(changes[i] - changes[i - 1], 5u) << "change at frame " << changes[i];
    EXPECT_LE(changes.front(), 5u);
    EXPECT_GE(changes.back(), frames.size() - 5);
    for (AVFrame *frame : frames) {
        EXPECT_EQ(frame->width, 320);
        EXPECT_EQ(frame->format, AV_PIX_FMT_YUV420P);
        freeMediaItem(frame);
    }
}

TEST_F(VideoThreadsTest, StopWhileEncoderWaitsEndsBothThreadsThroughEndMarkers) {
    // One picture a second, paced in real time: the encode thread spends
    // almost all its time waiting on an empty frame queue. No frame rate
    // probing, which would read several seconds of pictures first.
    useVideoSource("lavfi", "testsrc2=size=320x240:rate=1,realtime", {{"fpsprobesize", "0"}});
    testing::LogCapture log;
    startThreads(320, 240);
    ASSERT_EQ(takePackets(1).size(), 1u);
    sleepMs(100);
    ASSERT_EQ(videoFrameQueue.count(), 0);

    stopCast();
    EXPECT_EQ(resultOf(m_capture), 1);
    EXPECT_EQ(resultOf(m_encode), 1);
    EXPECT_EQ(m_cast.m_flagcap, 1);
    EXPECT_EQ(m_cast.m_flagenc, 1);
    EXPECT_EQ(log.countLines("capture thread is exit"), 1);
    EXPECT_EQ(log.countLines("encode thread is exit"), 1);
    // The encode thread took the capture thread's end marker ...
    EXPECT_EQ(videoFrameQueue.count(), 0);
    // ... and passed its own on to the send thread.
    AVPacket *last = nullptr;
    while (AVPacket *packet = takeWithin(videoPacketQueue, 100ms)) {
        if (last)
            freeMediaItem(last);
        last = packet;
    }
    ASSERT_NE(last, nullptr);
    EXPECT_TRUE(isEndMarker(last));
    freeMediaItem(last);
}

TEST_F(VideoThreadsTest, MissingDeviceNotifies1001OnceAndReleases) {
    useVideoSource("x11grab", ":4242");
    testing::LogCapture log;
    startThreads(640, 360);
    EXPECT_EQ(resultOf(m_capture), -1);
    EXPECT_EQ(resultOf(m_encode), 1);
    EXPECT_EQ(m_recorder.codes(), std::vector<int>{1001});
    EXPECT_TRUE(m_cast.m_released);
    EXPECT_EQ(m_cast.m_running, 0);
    EXPECT_EQ(m_cast.m_audioRunning, 0);
    EXPECT_EQ(m_cast.m_videoInput, nullptr);
    EXPECT_TRUE(log.contains("Couldn't open input stream. error code = -"));
}

TEST_F(VideoThreadsTest, SizeTheEncoderRefusesNotifies1004AndReleases) {
    // H.264 in YUV 4:2:0 needs even dimensions.
    useVideoSource("lavfi", kTestPicture);
    startThreads(641, 361);
    EXPECT_EQ(resultOf(m_capture), -1);
    EXPECT_EQ(resultOf(m_encode), 1);
    EXPECT_EQ(m_recorder.codes(), std::vector<int>{1004});
    EXPECT_TRUE(m_cast.m_released);
    EXPECT_EQ(m_cast.m_videoEncoder, nullptr);
}

int pixelBytes(const AVFrame *picture) {
    return picture->format == AV_PIX_FMT_BGR24 ? 3 : 4;
}

// A captured picture of noise, so that every tap of the filter counts.
AVFrame *noisePicture(int width, int height, AVPixelFormat format = AV_PIX_FMT_BGR0) {
    AVFrame *picture = av_frame_alloc();
    picture->format = format;
    picture->width = width;
    picture->height = height;
    EXPECT_EQ(av_frame_get_buffer(picture, 0), 0);
    uint32_t state = 12345;
    for (int row = 0; row < height; ++row) {
        for (int byte = 0; byte < pixelBytes(picture) * width; ++byte) {
            state = state * 1664525u + 1013904223u;
            picture->data[0][row * picture->linesize[0] + byte] = static_cast<uint8_t>(state >> 24);
        }
    }
    return picture;
}

// Captured rows [first, end) of one picture, in the columns [firstColumn,
// endColumn) (-1: to the right edge), for each change.
struct Change {
    int first;
    int end;
    int firstColumn = 0;
    int endColumn = -1;
};
using RowChanges = std::vector<Change>;

// A copy of picture with the given pixels changed.
AVFrame *withRowsChanged(const AVFrame *picture, const RowChanges &changes) {
    AVFrame *changed = av_frame_clone(picture);
    EXPECT_EQ(av_frame_make_writable(changed), 0);
    const int bytesPerPixel = pixelBytes(picture);
    for (const Change &change : changes) {
        const int endColumn = change.endColumn < 0 ? picture->width : change.endColumn;
        for (int row = change.first; row < change.end; ++row) {
            uint8_t *bytes = changed->data[0] + row * changed->linesize[0];
            for (int byte = bytesPerPixel * change.firstColumn; byte < bytesPerPixel * endColumn;
                 ++byte)
                bytes[byte] ^= static_cast<uint8_t>(0x5a + row);
        }
    }
    return changed;
}

// "" when every sample of the two YUV 4:2:0 pictures is equal, else where
// the first difference is.
std::string firstDifference(const AVFrame *a, const AVFrame *b) {
    for (int plane = 0; plane < 3; ++plane) {
        const int shift = plane == 0 ? 0 : 1;
        const int width = (a->width + shift) >> shift;
        for (int row = 0; row < (a->height + shift) >> shift; ++row) {
            if (std::memcmp(a->data[plane] + row * a->linesize[plane],
                            b->data[plane] + row * b->linesize[plane], width) == 0)
                continue;
            for (int x = 0; x < width; ++x) {
                if (a->data[plane][row * a->linesize[plane] + x] !=
                    b->data[plane][row * b->linesize[plane] + x])
                    return "plane " + std::to_string(plane) + " row " + std::to_string(row) +
                           " column " + std::to_string(x);
            }
        }
    }
    return "";
}

// A whole conversion by a scaler of its own: one thread, no bands.
AVFrame *wholeConversion(const AVFrame *picture, int width, int height) {
    SwsContext *context =
        sws_getContext(picture->width, picture->height, static_cast<AVPixelFormat>(picture->format),
                       width, height, AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr);
    AVFrame *frame = av_frame_alloc();
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = width;
    frame->height = height;
    EXPECT_EQ(av_frame_get_buffer(frame, 0), 0);
    sws_scale(context, picture->data, picture->linesize, 0, picture->height, frame->data,
              frame->linesize);
    sws_freeContext(context);
    return frame;
}

struct ScreenSizes {
    int sourceWidth, sourceHeight, width, height;
};

std::string sizeName(const ScreenSizes &sizes) {
    return std::to_string(sizes.sourceWidth) + "x" + std::to_string(sizes.sourceHeight) + " to " +
           std::to_string(sizes.width) + "x" + std::to_string(sizes.height);
}

// Converts a chain of pictures, each differing from the one before in the
// given captured pixels, and checks every conversion against a whole one.
// Returns the counts of what was converted.
ConversionCounts convertChain(const ScreenSizes &sizes, const std::vector<RowChanges> &steps,
                              AVPixelFormat format = AV_PIX_FMT_BGR0) {
    FrameScaler scaler(sizes.width, sizes.height);
    AVFrame *picture = noisePicture(sizes.sourceWidth, sizes.sourceHeight, format);
    AVFrame *lastFrame = scaler.convert(picture);
    AVFrame *lastExpected = wholeConversion(picture, sizes.width, sizes.height);
    const ConversionCounts before = conversionCounts();
    for (const RowChanges &changes : steps) {
        SCOPED_TRACE("captured rows from " + std::to_string(changes.front().first) + " to " +
                     std::to_string(changes.back().end) + ", columns from " +
                     std::to_string(changes.front().firstColumn) + " to " +
                     std::to_string(changes.back().endColumn));
        AVFrame *next = withRowsChanged(picture, changes);
        AVFrame *frame = scaler.convert(next);
        AVFrame *expected = wholeConversion(next, sizes.width, sizes.height);
        EXPECT_NE(frame, nullptr);
        if (frame) {
            EXPECT_EQ(firstDifference(frame, expected), "");
            // Each frame owns its picture: converting the next one left the
            // last one as it was.
            EXPECT_NE(frame->buf[0], lastFrame->buf[0]);
            EXPECT_EQ(firstDifference(lastFrame, lastExpected), "");
        }
        av_frame_free(&lastExpected);
        av_frame_free(&lastFrame);
        av_frame_free(&picture);
        lastExpected = expected;
        lastFrame = frame;
        picture = next;
        if (!frame)
            break;
    }
    av_frame_free(&lastExpected);
    av_frame_free(&lastFrame);
    av_frame_free(&picture);
    ConversionCounts counts = conversionCounts();
    EXPECT_EQ(counts.pictures - before.pictures, static_cast<int64_t>(steps.size()));
    counts.bands -= before.bands;
    counts.bandsConverted -= before.bandsConverted;
    counts.area -= before.area;
    counts.areaConverted -= before.areaConverted;
    return counts;
}

TEST(FrameScalerBands, AScalerForOneCoreConvertsBandsLikeAWholePicture) {
    AVFrame *picture = noisePicture(1920, 1080);
    AVFrame *expected = wholeConversion(picture, 1280, 720);
    SwsContext *context = newBicubicScaler(1920, 1080, AV_PIX_FMT_BGR0, 1280, 720, 1);
    ASSERT_NE(context, nullptr);
    PicturePool pool(1280, 720);
    AVFrame *output = pool.newFrame();
    EXPECT_EQ(convertBands(context, picture, expected, output, {{224, 256}}), 0);
    EXPECT_EQ(firstDifference(output, expected), "");
    av_frame_free(&output);
    sws_freeContext(context);
    av_frame_free(&expected);
    av_frame_free(&picture);
}

TEST(FrameScalerBands, ConvertingChangedBandsAndColumnsGivesTheWholeConversion) {
    // Scales with a grid where output and captured columns meet, which
    // convert only the columns over a change (one of them enlarging), and
    // scales without.
    const ScreenSizes sizeCases[] = {{1920, 1080, 1280, 720}, {1920, 1080, 1920, 1080},
                                     {1600, 900, 1280, 720},  {960, 540, 1280, 720},
                                     {1920, 1080, 854, 481},  {1366, 768, 1280, 720},
                                     {1280, 720, 1920, 1080}};
    for (const ScreenSizes &sizes : sizeCases) {
        SCOPED_TRACE(sizeName(sizes));
        const int rows = sizes.sourceHeight;
        const int columns = sizes.sourceWidth;
        // One captured row at a time, through every row of two bands in the
        // middle: each place a row can have relative to a band's edges.
        std::vector<RowChanges> singleRows;
        const int bandRows = 32 * rows / sizes.height + 2;
        for (int row = rows / 2; row < rows / 2 + bandRows; ++row)
            singleRows.push_back({{row, row + 1}});
        const ConversionCounts single = convertChain(sizes, singleRows);
        EXPECT_LT(single.bandsConverted * 4, single.bands) << "single rows";

        const ConversionCounts edges = convertChain(sizes, {{{0, 1}},
                                                            {{0, 3}},
                                                            {{rows - 1, rows}},
                                                            {{rows - 3, rows}},
                                                            {{0, 1}, {rows - 1, rows}}});
        // An odd height converts a changed bottom band with the whole picture.
        if (sizes.height % 2 == 0)
            EXPECT_LT(edges.bandsConverted * 4, edges.bands) << "top and bottom edges";

        // The middle row of every other band of 16 converted rows, in one
        // picture, and then of the bands between.
        RowChanges everyOther[2];
        for (int band = 0; band * 16 < sizes.height; ++band) {
            const int row = std::min((band * 16 + 8) * rows / sizes.height, rows - 1);
            everyOther[band % 2].push_back({row, row + 1});
        }
        convertChain(sizes, {everyOther[0], everyOther[1]});

        const ConversionCounts all = convertChain(sizes, {{{0, rows}}, {{0, rows}}});
        EXPECT_EQ(all.bandsConverted, all.bands) << "all bands";

        // A video in a window in the middle, and the pointer beside it.
        const ConversionCounts window = convertChain(
            sizes, {{{rows / 3, 2 * rows / 3, columns / 3, 2 * columns / 3}},
                    {{rows / 3, 2 * rows / 3, columns / 3, 2 * columns / 3}},
                    {{rows / 3, rows / 3 + 20, 2 * columns / 3 + 30, 2 * columns / 3 + 50}}});
        if ((int64_t{sizes.sourceWidth} << 16) % sizes.width == 0)
            EXPECT_LT(window.areaConverted * 4, window.area) << "a window";
        else
            EXPECT_EQ(window.areaConverted, window.bandsConverted * sizes.width) << "whole width";

        // One pixel at each place relative to the grid of the column
        // conversions, then at the left and right edges, then a column of
        // the whole height.
        std::vector<RowChanges> pixels;
        for (int column = columns / 2; column < columns / 2 + 50; ++column)
            pixels.push_back({{rows / 2, rows / 2 + 1, column, column + 1}});
        pixels.push_back({{rows / 2, rows / 2 + 3, 0, 1}});
        pixels.push_back({{rows / 2, rows / 2 + 3, columns - 1, columns}});
        pixels.push_back({{0, rows, columns / 2, columns / 2 + 1}});
        convertChain(sizes, pixels);
    }
    // A capture of three bytes a pixel, as some devices deliver.
    const ConversionCounts packed = convertChain(
        {1920, 1080, 1280, 720}, {{{360, 720, 640, 1280}}, {{1, 2, 1917, 1919}}}, AV_PIX_FMT_BGR24);
    EXPECT_LT(packed.areaConverted * 4, packed.area) << "three bytes a pixel";
}

} // namespace
} // namespace pixpipe
