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

} // namespace pixpipe
