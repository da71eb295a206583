// The engine's four process-wide queues, shared by every cast.
#pragma once

#include "queue/media_queue.h"

namespace pixpipe {

using FrameQueue = MediaQueue<AVFrame>;
using PacketQueue = MediaQueue<AVPacket>;

extern FrameQueue videoFrameQueue;   // video capture -> video encode
extern PacketQueue videoPacketQueue; // video encode -> video send
extern FrameQueue audioFrameQueue;   // audio capture -> audio encode
extern PacketQueue audioPacketQueue; // audio encode -> audio send

// Stamps an encoded packet with the wall clock (its pts and dts, which the
// sender stamps media messages with) and adds it to queue.
void addStampedPacket(PacketQueue &queue, AVPacket *packet, const std::atomic<int32_t> &running);

// Adds the end-of-stream marker; when none can be allocated the consumer
// ends on its running flag alone.
void addEndMarker(PacketQueue &queue, const std::atomic<int32_t> &running);

} // namespace pixpipe
