// Putting one encoded packet on a receiver link as a media message.
#pragma once

#include "lifecycle/cast_context.h"

extern "C" {
#include <libavcodec/packet.h>
}

namespace pixpipe {

// The largest body piece handed to one send call.
constexpr size_t kBodyChunkSize = 1024;

} // namespace pixpipe
