// The video encode thread: encodes the queued frames to H.264, stamps each
// packet with the wall clock and queues it for the video send thread.
#include "lifecycle/cast_lifecycle.h"
#include "lifecycle/engine_log.h"
#include "lifecycle/worker_threads.h"
#include "platform/clock.h"
#include "queue/media_queues.h"
#include "video/video_encoder.h"

namespace pixpipe {

namespace {

// How often a wait for the next frame looks at the capture device's last
// picture.
constexpr auto kPictureCheckStep = std::chrono::milliseconds(100);

int endEncodeWithError(CastContext *cast, int code) {
    cast->m_flagenc = 1;
    cast->m_videoPacketEvent.set();
    failVideoSide(cast, code);
    return -1;
}

// The capture thread may be stuck inside its device, where nothing but this
// thread notices.
bool devicePictureOverdue(const CastContext *cast) {
    return steadyClockMs() - cast->m_lastPictureMs.load() > kNoPictureLimitMs;
}

} // namespace

int videoEncodeThread(CastContext *cast) {
    while (cast->m_running == 1) {
        // Waits as for a wake of the frame queue, looking at the device's
        // last picture in between.
        AVFrame *frame = nullptr;
        for (bool timedOut = true; timedOut;) {
            frame = videoFrameQueue.waitAndTake(kPictureCheckStep, &timedOut);
            if (timedOut && cast->m_running == 1 && devicePictureOverdue(cast)) {
                logLine("no picture from the capture device for %d ms\n", kNoPictureLimitMs);
                return endEncodeWithError(cast, PIXPIPE_VIDEO_DEVICE_NOT_OPENED);
            }
        }
        if (!frame)
            continue;
        if (isEndMarker(frame)) {
            freeMediaItem(frame);
            break;
        }
        AVPacket *packet = av_packet_alloc();
        const int ret =
            packet ? encodeOneFrame(cast->m_videoEncoder, frame, packet) : AVERROR(ENOMEM);
        freeMediaItem(frame);
        if (ret < 0) {
            av_packet_free(&packet);
            logLine("Failed to encode! \n");
            return endEncodeWithError(cast, PIXPIPE_VIDEO_ENCODER_FAILED);
        }
        // An empty packet (the encoder had none ready) travels on as a
        // message of length 0, stamped like any other.
        addStampedPacket(videoPacketQueue, packet, cast->m_running);
    }

    addEndMarker(videoPacketQueue, cast->m_running);
    logLine("encode thread is exit\n");
    cast->m_flagenc = 1;
    return 1;
}

} // namespace pixpipe
