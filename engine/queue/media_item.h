// Frames and packets as queue items: freeing them and telling the in-band
// end-of-stream marker (duration -1001) apart.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
}

namespace pixpipe {

constexpr int64_t kEndMarkerDuration = -1001;

inline void freeMediaItem(AVFrame *frame) {
    av_frame_free(&frame);
}
inline void freeMediaItem(AVPacket *packet) {
    av_packet_free(&packet);
}

// A newly allocated empty frame or packet that marks the end of a stream.
inline AVFrame *newEndMarkerFrame() {
    AVFrame *frame = av_frame_alloc();
    if (frame)
        frame->pkt_duration = kEndMarkerDuration;
    return frame;
}

inline AVPacket *newEndMarkerPacket() {
    AVPacket *packet = av_packet_alloc();
    if (packet)
        packet->duration = kEndMarkerDuration;
    return packet;
}

inline bool isEndMarker(const AVFrame *frame) {
    return frame->pkt_duration == kEndMarkerDuration;
}
inline bool isEndMarker(const AVPacket *packet) {
    return packet->duration == kEndMarkerDuration;
}

} // namespace pixpipe
