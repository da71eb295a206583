// The audio encode thread: frames from audioFrameQueue -> AAC packets stamped
// with the wall clock on audioPacketQueue.
#include "audio/audio_error_text.h"
#include "lifecycle/cast_lifecycle.h"
#include "lifecycle/engine_log.h"
#include "lifecycle/worker_threads.h"
#include "queue/media_queues.h"

namespace pixpipe {

namespace {

// Ends the audio side after an encoder failure; returns `result`.
int failEncode(CastContext *cast, int result) {
    // Cleared before the send thread is woken, so that it cannot find the
    // queue empty while the flag still reads 1 and go back to waiting for good.
    cast->m_audioRunning = 0;
    cast->m_audioPacketEvent.set();
    failAudioSide(cast, PIXPIPE_AUDIO_ENCODER_FAILED);
    // Last touch of the context: once every done flag is set, release
    // frees the media contexts.
    cast->m_flagaenc = 1;
    return result;
}

} // namespace

int audioEncodeThread(CastContext *cast) {
    while (cast->m_audioRunning == 1) {
        AVFrame *frame = audioFrameQueue.waitAndTake();
        if (!frame)
            continue;
        if (isEndMarker(frame)) {
            av_frame_free(&frame);
            break;
        }

        AVPacket *packet = av_packet_alloc();
        int error = packet ? avcodec_send_frame(cast->m_audioEncoder, frame) : AVERROR(ENOMEM);
        av_frame_free(&frame);
        if (error < 0) {
            logErrorLine("Could not send packet for encoding (error '%s')\n",
                         audioErrorText(error).c_str());
            av_packet_free(&packet);
            return failEncode(cast, error);
        }

        // One receive per send: the output trails the input by the
        // encoder's own delay.
        error = avcodec_receive_packet(cast->m_audioEncoder, packet);
        if (error == AVERROR(EAGAIN) || error == AVERROR_EOF) {
            av_packet_free(&packet);
            continue;
        }
        if (error < 0) {
            logErrorLine("Could not encode frame (error '%s')\n", audioErrorText(error).c_str());
            av_packet_free(&packet);
            return failEncode(cast, -1);
        }
        addStampedPacket(audioPacketQueue, packet, cast->m_audioRunning);
    }

    addEndMarker(audioPacketQueue, cast->m_audioRunning);
    logLine("audio encode thread is exit.\n");
    cast->m_flagaenc = 1;
    return 0;
}

} // namespace pixpipe
