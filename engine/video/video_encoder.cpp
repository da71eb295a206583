#include "video/video_encoder.h"

#include "lifecycle/engine_log.h"

extern "C" {
#include <libavutil/dict.h>
}

namespace pixpipe {

namespace {

constexpr int64_t kBitRate = 1300000;
constexpr AVRational kTimeBase = {1, 20};
// The capture rate. The rate control spends the bit rate over this many
// pictures a second; without it x264 would take the time base for the frame
// rate and budget for 20 pictures, sending only three quarters of the rate.
constexpr AVRational kFrameRate = {15, 1};
constexpr int kGopSize = 60;
// One encoding thread. Under the low-latency tune x264 otherwise splits each
// picture into slices for several threads that it wakes and joins for every
// picture; on a still screen that handover is a fifth of the engine's CPU.
// One thread encodes a moving 1280 x 720 picture in a few milliseconds, well
// inside the 67 ms between pictures, while the capture thread converts the
// next picture on another core.
constexpr int kEncoderThreads = 1;

} // namespace

AVCodecContext *openVideoEncoder(int width, int height) {
    const AVCodec *codec = avcodec_find_encoder(AV_CODEC_ID_H264);
    if (!codec)
        return nullptr;
    AVCodecContext *encoder = avcodec_alloc_context3(codec);
    if (!encoder) {
        logErrorLine("Could not allocate video codec context\n");
        return nullptr;
    }
    encoder->bit_rate = kBitRate;
    encoder->width = width;
    encoder->height = height;
    encoder->time_base = kTimeBase;
    encoder->framerate = kFrameRate;
    encoder->gop_size = kGopSize;
    encoder->max_b_frames = 0;
    encoder->pix_fmt = AV_PIX_FMT_YUV420P;
    encoder->qcompress = 0.6f;
    encoder->qmin = 10;
    encoder->qmax = 30;
    encoder->max_qdiff = 4;
    encoder->thread_count = kEncoderThreads;

    AVDictionary *options = nullptr;
    av_dict_set(&options, "preset", "ultrafast", 0);
    av_dict_set(&options, "tune", "zerolatency", 0);
    const int ret = avcodec_open2(encoder, codec, &options);
    av_dict_free(&options);
    if (ret < 0) {
        avcodec_free_context(&encoder);
        return nullptr;
    }
    return encoder;
}

int encodeOneFrame(AVCodecContext *encoder, const AVFrame *frame, AVPacket *packet) {
    int ret = avcodec_send_frame(encoder, frame);
    if (ret < 0)
        return ret;
    ret = avcodec_receive_packet(encoder, packet);
    if (ret == AVERROR(EAGAIN))
        return 0;
    return ret;
}

} // namespace pixpipe
