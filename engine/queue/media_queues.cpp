#include "queue/media_queues.h"

namespace pixpipe {

FrameQueue videoFrameQueue;
PacketQueue videoPacketQueue;
FrameQueue audioFrameQueue;
PacketQueue audioPacketQueue;

} // namespace pixpipe
