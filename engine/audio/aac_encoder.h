// The AAC encoder of the audio side and the output context that holds its
// stream parameters.
#pragma once

#include "lifecycle/cast_context.h"

namespace pixpipe {

constexpr int kAacBitRate = 96000;
constexpr int kAacChannels = 2;

// Creates m_audioOutput with one stream and opens the AAC encoder at the
// given sample rate into m_audioEncoder. On failure both are freed and left
// empty; returns false.
bool openAacEncoder(CastContext *cast, int sampleRate);

} // namespace pixpipe
