// Opening the audio capture device into the cast context.
#pragma once

#include "lifecycle/cast_context.h"

namespace pixpipe {

// Opens the current audio capture source into m_audioInput, reads its stream
// information and finds its first audio stream. Returns that stream, or
// nullptr with the audio failure code (1005, 1006 or 1007) in failureCode.
AVStream *openAudioDevice(CastContext *cast, int *failureCode);

} // namespace pixpipe
