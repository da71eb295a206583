// video-steps-bench: what each step of the capture thread costs per picture,
// for a 1920x1080 screen sent at 1280x720, with and without each of the
// engine's savings: the scaler on one thread or on all cores, a new picture
// buffer per frame or one from the pool, converting a still picture again or
// comparing it with the last one, converting a picture whole or only the
// bands that changed, and of those only the columns over the change (a still
// desktop with a 640x360 window of video in the middle). Prints wall and CPU milliseconds (all
// threads of the process) and page faults per picture. No screen needed.
#include "video/band_converter.h"
#include "video/changed_bands.h"
#include "video/conversion_counts.h"
#include "video/frame_scaler.h"
#include "video/picture_pool.h"
#include "video/scaler_context.h"
#include "video/video_encoder.h"

extern "C" {
#include <libavutil/log.h>
}

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <thread>
#include <vector>

namespace {

constexpr int kScreenWidth = 1920;
constexpr int kScreenHeight = 1080;
constexpr int kWidth = 1280;
constexpr int kHeight = 720;
constexpr int kPictures = 15; // distinct moving pictures, used in turn
constexpr int kRounds = 90;   // pictures per measurement

// A moving pattern in the capture device's format, one picture per offset.
std::vector<AVFrame *> movingPictures() {
    std::vector<AVFrame *> pictures;
    for (int n = 0; n < kPictures; ++n) {
        AVFrame *picture = av_frame_alloc();
        picture->format = AV_PIX_FMT_BGR0;
        picture->width = kScreenWidth;
        picture->height = kScreenHeight;
        av_frame_get_buffer(picture, 0);
        for (int y = 0; y < kScreenHeight; ++y) {
            uint8_t *row = picture->data[0] + static_cast<ptrdiff_t>(y) * picture->linesize[0];
            for (int x = 0; x < kScreenWidth; ++x) {
                row[4 * x] = static_cast<uint8_t>((x + 8 * n) ^ y);
                row[4 * x + 1] = static_cast<uint8_t>(x / 4 + y / 3 + 5 * n);
                row[4 * x + 2] = static_cast<uint8_t>((x * y) >> 8);
                row[4 * x + 3] = 0;
            }
        }
        pictures.push_back(picture);
    }
    return pictures;
}

// The moving pictures shown only in a 640x360 window in the middle of the
// first one, which stays: a video playing on a still desktop.
std::vector<AVFrame *> windowPictures(const std::vector<AVFrame *> &moving) {
    constexpr int kLeft = (kScreenWidth - 640) / 2;
    constexpr int kTop = (kScreenHeight - 360) / 2;
    std::vector<AVFrame *> pictures;
    for (const AVFrame *source : moving) {
        AVFrame *picture = av_frame_clone(moving.front());
        av_frame_make_writable(picture);
        for (int y = kTop; y < kTop + 360; ++y) {
            const ptrdiff_t offset = static_cast<ptrdiff_t>(y) * picture->linesize[0] + 4 * kLeft;
            std::memcpy(picture->data[0] + offset, source->data[0] + offset, 4 * 640);
        }
        pictures.push_back(picture);
    }
    // The first picture's window must differ from the last one's too.
    av_frame_make_writable(pictures.front());
    pictures.front()->data[0][kTop * pictures.front()->linesize[0] + 4 * kLeft] ^= 1;
    return pictures;
}

double processCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

long minorFaults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// Runs step kRounds times (with the picture number) and prints the means.
void measure(const char *name, const std::function<void(int)> &step) {
    step(0); // warm up: contexts and first buffers
    const double cpuBefore = processCpuMs();
    const long faultsBefore = minorFaults();
    const auto start = std::chrono::steady_clock::now();
    for (int n = 1; n <= kRounds; ++n)
        step(n);
    const double wallMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("%-52s %8.2f %8.2f %10.0f\n", name, wallMs / kRounds,
                (processCpuMs() - cpuBefore) / kRounds,
                static_cast<double>(minorFaults() - faultsBefore) / kRounds);
}

// The scaler as the engine made it before: one thread, the row interface.
SwsContext *singleThreadScaler() {
    return sws_getContext(kScreenWidth, kScreenHeight, AV_PIX_FMT_BGR0, kWidth, kHeight,
                          AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr);
}

// The scaler on all cores converting whole pictures, as the engine did
// before it converted bands.
SwsContext *threadedScaler() {
    SwsContext *context = pixpipe::newBicubicScaler(kScreenWidth, kScreenHeight, AV_PIX_FMT_BGR0,
                                                    kWidth, kHeight, pixpipe::scalerThreads());
    if (!context)
        std::abort();
    return context;
}

AVFrame *newPicture() {
    AVFrame *frame = av_frame_alloc();
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = kWidth;
    frame->height = kHeight;
    av_frame_get_buffer(frame, 0);
    return frame;
}

} // namespace

int main() {
    av_log_set_level(AV_LOG_ERROR);
    std::vector<AVFrame *> pictures = movingPictures();
    auto picture = [&](int n) { return pictures[n % kPictures]; };

    std::printf("per picture, %dx%d BGR0 to %dx%d YUV 4:2:0, %u cores\n", kScreenWidth,
                kScreenHeight, kWidth, kHeight, std::thread::hardware_concurrency());
    std::printf("%-52s %8s %8s %10s\n", "step", "wall ms", "cpu ms", "faults");

    SwsContext *single = singleThreadScaler();
    measure("scale, one thread, new buffer each (before)", [&](int n) {
        AVFrame *frame = newPicture();
        sws_scale(single, picture(n)->data, picture(n)->linesize, 0, kScreenHeight, frame->data,
                  frame->linesize);
        av_frame_free(&frame);
    });

    SwsContext *threaded = threadedScaler();
    measure("scale, all cores, whole picture (before)", [&](int n) {
        AVFrame *frame = newPicture();
        sws_scale_frame(threaded, frame, picture(n));
        av_frame_free(&frame);
    });

    pixpipe::FrameScaler scaler(kWidth, kHeight);
    measure("scale, all cores, pooled buffer, bands (engine)", [&](int n) {
        AVFrame *frame = scaler.convert(picture(n));
        av_frame_free(&frame);
    });

    std::vector<AVFrame *> window = windowPictures(pictures);
    auto windowPicture = [&](int n) { return window[n % kPictures]; };
    measure("window: find changed bands (engine)", [&](int n) {
        const pixpipe::ChangedBands bands = pixpipe::findChangedBands(
            windowPicture(n + kPictures - 1), windowPicture(n), kHeight, 16);
        if (bands.changed == 0)
            std::abort();
    });
    measure("window: scale whole picture, all cores (before)", [&](int n) {
        AVFrame *frame = newPicture();
        sws_scale_frame(threaded, frame, windowPicture(n));
        av_frame_free(&frame);
    });
    pixpipe::PicturePool bandPool(kWidth, kHeight);
    AVFrame *lastBands = bandPool.newFrame();
    sws_scale_frame(threaded, lastBands, windowPicture(kPictures - 1));
    measure("window: find and scale changed bands, whole width (before)", [&](int n) {
        const pixpipe::ChangedBands bands = pixpipe::findChangedBands(
            windowPicture(n + kPictures - 1), windowPicture(n), kHeight, 16);
        AVFrame *frame = bandPool.newFrame();
        pixpipe::convertBands(threaded, windowPicture(n), lastBands, frame, bands.runs);
        av_frame_free(&lastBands);
        lastBands = frame;
    });
    av_frame_free(&lastBands);
    pixpipe::FrameScaler windowScaler(kWidth, kHeight);
    const pixpipe::ConversionCounts before = pixpipe::conversionCounts();
    measure("window: find and scale changed bands and columns (engine)", [&](int n) {
        AVFrame *frame = windowScaler.convert(windowPicture(n));
        av_frame_free(&frame);
    });
    const pixpipe::ConversionCounts after = pixpipe::conversionCounts();
    std::printf(
        "  window: %.3f of the bands and %.3f of the area converted per picture\n",
        double(after.bandsConverted - before.bandsConverted) / double(after.bands - before.bands),
        double(after.areaConverted - before.areaConverted) / double(after.area - before.area));

    // The pool alone, without the threads.
    pixpipe::PicturePool pool(kWidth, kHeight);
    measure("scale, one thread, pooled buffer", [&](int n) {
        AVFrame *frame = pool.newFrame();
        sws_scale(single, picture(n)->data, picture(n)->linesize, 0, kScreenHeight, frame->data,
                  frame->linesize);
        av_frame_free(&frame);
    });
    measure("still screen: compare with the last picture (engine)", [&](int n) {
        // The worst case: equal to the last byte.
        if (pixpipe::findChangedBands(picture(n), picture(n), kHeight, 16).changed != 0)
            std::abort();
    });

    AVCodecContext *encoder = pixpipe::openVideoEncoder(kWidth, kHeight);
    AVPacket *packet = av_packet_alloc();
    std::vector<AVFrame *> converted;
    for (int n = 0; n < kPictures; ++n)
        converted.push_back(scaler.convert(picture(n)));
    measure("encode a moving picture", [&](int n) {
        pixpipe::encodeOneFrame(encoder, converted[n % kPictures], packet);
        av_packet_unref(packet);
    });
    measure("encode a still picture again", [&](int) {
        pixpipe::encodeOneFrame(encoder, converted[0], packet);
        av_packet_unref(packet);
    });

    for (AVFrame *frame : converted)
        av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&encoder);
    sws_freeContext(single);
    sws_freeContext(threaded);
    for (AVFrame *&frame : pictures)
        av_frame_free(&frame);
    for (AVFrame *&frame : window)
        av_frame_free(&frame);
    return 0;
}
