// Opening the audio capture device into the cast context.
#pragma once

#include "lifecycle/cast_context.h"
#include "platform/capture_sources.h"

namespace pixpipe {

// Opens the audio capture source into m_audioInput, reads its stream
// information and finds its first audio stream. Returns that stream, or
// nullptr with the audio failure code (1005, 1006 or 1007) in failureCode.
// A source that cannot be opened is not logged here: the caller may still
// have a fallback.
AVStream *openAudioDevice(CastContext *cast, const CaptureSource &source, int *failureCode);

} // namespace pixpipe
