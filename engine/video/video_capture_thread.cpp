// The video capture thread: reads the screen, decodes and converts each
// picture to the encoded size, and queues the frames for the encode thread.
#include "lifecycle/cast_lifecycle.h"
#include "lifecycle/engine_log.h"
#include "lifecycle/worker_threads.h"
#include "platform/capture_sources.h"
#include "platform/clock.h"
#include "queue/media_queues.h"
#include "video/capture_device.h"
#include "video/frame_scaler.h"
#include "video/video_decoder.h"
#include "video/video_encoder.h"

#include <vector>

namespace pixpipe {

namespace {

// Besides the encoder's own group of pictures, every 80th frame is intra so
// that a receiver joining late gets a full picture within a few seconds.
constexpr int64_t kForcedIntraInterval = 80;
constexpr int kReadRetryPauseMs = 100;
// The pause before asking a non-blocking device again when it had nothing.
constexpr int kNoPacketPauseMs = 5;

// Opens the video source, or the first of its fallbacks that opens, into
// m_videoInput and logs which one it opened. Returns 0, or the error of the
// last one tried.
int openFirstVideoSource(CastContext *cast, const AVIOInterruptCB &interrupt) {
    const CaptureSources sources = currentCaptureSources();
    std::vector<CaptureSource> candidates{sources.video};
    candidates.insert(candidates.end(), sources.videoFallbacks.begin(),
                      sources.videoFallbacks.end());
    int ret = AVERROR(ENODEV);
    for (const CaptureSource &source : candidates) {
        ret = openCaptureDevice(source, cast->m_screenWidth, cast->m_screenHeight, interrupt,
                                &cast->m_videoInput);
        if (ret >= 0) {
            logLine("video source: %s\n", captureSourceName(source).c_str());
            return ret;
        }
        if (candidates.size() > 1)
            logLine("video source %s could not be opened (error %d)\n",
                    captureSourceName(source).c_str(), ret);
    }
    return ret;
}

// Opens the device, its decoder and the cast's encoder. Returns 0, or the
// callback code of the step that failed.
int setUpCapture(CastContext *cast, int *streamIndex) {
    const AVIOInterruptCB interrupt{interruptWhenStopped, &cast->m_running};
    int ret = openFirstVideoSource(cast, interrupt);
    if (ret < 0) {
        logLine("Couldn't open input stream. error code = %d\n", ret);
        return PIXPIPE_VIDEO_DEVICE_NOT_OPENED;
    }
    ret = avformat_find_stream_info(cast->m_videoInput, nullptr);
    if (ret < 0) {
        logLine("Couldn't find stream information. error = %d\n", ret);
        return PIXPIPE_VIDEO_NO_STREAM_INFO;
    }
    *streamIndex = findFirstVideoStream(cast->m_videoInput);
    if (*streamIndex < 0) {
        logLine("Didn't find a video stream.\n");
        return PIXPIPE_VIDEO_NO_STREAM;
    }
    // Without a decoder or an encoder no picture could ever be sent.
    cast->m_videoDecoder = openVideoDecoder(cast->m_videoInput->streams[*streamIndex]);
    if (!cast->m_videoDecoder)
        return PIXPIPE_VIDEO_NO_STREAM;
    cast->m_videoEncoder = openVideoEncoder(cast->m_width, cast->m_height);
    if (!cast->m_videoEncoder)
        return PIXPIPE_VIDEO_ENCODER_FAILED;
    return 0;
}

int endCaptureWithError(CastContext *cast, int code) {
    // The stop that left this thread behind has ended the cast already.
    if (endAbandonedCapture(cast, CaptureSide::Video, code))
        return -1;
    cast->m_flagcap = 1;
    cast->m_videoFrameEvent.set();
    failVideoSide(cast, code);
    return -1;
}

// The frame for the encoder from one captured packet: the conversion of the
// new picture when the decoder delivered one, otherwise (or when it cannot be
// converted) the last conversion again. Returns nullptr while there is
// nothing to show yet.
AVFrame *nextEncoderFrame(AVCodecContext *decoder, FrameScaler &scaler, const AVPacket *packet) {
    AVFrame *decoded = av_frame_alloc();
    AVFrame *frame = nullptr;
    if (decoded && decodeNewestPicture(decoder, packet, decoded))
        frame = scaler.convert(decoded);
    av_frame_free(&decoded);
    return frame ? frame : scaler.repeatLast();
}

// Reads, converts and queues pictures while the cast runs. The scaler, with
// the last captured and converted pictures, goes when it returns, before the
// thread reports its end.
void captureUntilStopped(CastContext *cast, int streamIndex) {
    FrameScaler scaler(cast->m_width, cast->m_height);
    int64_t frameNumber = 0;
    while (cast->m_running == 1) {
        AVPacket *packet = av_packet_alloc();
        const int read = packet ? av_read_frame(cast->m_videoInput, packet) : AVERROR(ENOMEM);
        if (read < 0) {
            av_packet_free(&packet);
            sleepWhileRunning(cast->m_running,
                              read == AVERROR(EAGAIN) ? kNoPacketPauseMs : kReadRetryPauseMs);
            continue;
        }
        if (packet->stream_index == streamIndex) {
            AVFrame *frame = nextEncoderFrame(cast->m_videoDecoder, scaler, packet);
            // A picture read after a stop would never be encoded: the encode
            // thread leaves at its next look at the running flag. Dropping it
            // lets the end marker be what wakes a waiting encode thread.
            if (frame && cast->m_running != 1)
                av_frame_free(&frame);
            if (frame) {
                frame->pict_type = frameNumber % kForcedIntraInterval == 0 ? AV_PICTURE_TYPE_I
                                                                           : AV_PICTURE_TYPE_NONE;
                ++frameNumber;
                queueCapturedFrame(cast, CaptureSide::Video, frame);
                cast->m_lastPictureMs = steadyClockMs();
            }
        }
        av_packet_free(&packet);
    }
}

} // namespace

int videoCaptureThread(CastContext *cast) {
    // The device has until kNoPictureLimitMs from now for its first picture.
    cast->m_lastPictureMs = steadyClockMs();
    int streamIndex = -1;
    const int code = setUpCapture(cast, &streamIndex);
    if (code != 0)
        return endCaptureWithError(cast, code);

    captureUntilStopped(cast, streamIndex);

    finishCapture(cast, CaptureSide::Video);
    return 1;
}

} // namespace pixpipe
