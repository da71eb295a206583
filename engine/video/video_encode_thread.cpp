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

constexpr int kEncoderFailed = 1004;

int endEncodeWithError(CastContext *cast) {
    logLine("Failed to encode! \n");
    cast->m_flagenc = 1;
    cast->m_videoPacketEvent.set();
    failVideoSide(cast, kEncoderFailed);
    return -1;
}

} // namespace

int videoEncodeThread(CastContext *cast) {
    while (cast->m_running == 1) {
        AVFrame *frame = videoFrameQueue.waitAndTake();
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
            return endEncodeWithError(cast);
        }
        // An empty packet (the encoder had none ready) travels on as a
        // message of length 0, stamped like any other.
        packet->pts = wallClockStampMs();
        packet->dts = packet->pts;
        videoPacketQueue.add(packet, cast->m_running);
    }

    if (AVPacket *marker = newEndMarkerPacket())
        videoPacketQueue.add(marker, cast->m_running);
    logLine("encode thread is exit\n");
    cast->m_flagenc = 1;
    return 1;
}

} // namespace pixpipe
