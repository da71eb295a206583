#include "queue/media_queues.h"

namespace pixpipe {

FrameQueue videoFrameQueue;
PacketQueue videoPacketQueue;
FrameQueue audioFrameQueue;
PacketQueue audioPacketQueue;

void addStampedPacket(PacketQueue &queue, AVPacket *packet, const std::atomic<int32_t> &running) {
    packet->pts = wallClockStampMs();
    packet->dts = packet->pts;
    queue.add(packet, running);
}

void addEndMarker(PacketQueue &queue, const std::atomic<int32_t> &running) {
    if (AVPacket *marker = newEndMarkerPacket())
        queue.add(marker, running);
}

} // namespace pixpipe
