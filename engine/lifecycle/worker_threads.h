// The seven worker threads of a cast, in start order. Each entry takes the
// cast context and sets its own done flag on every way out.
#pragma once

#include "lifecycle/cast_context.h"

namespace pixpipe {

int videoCaptureThread(CastContext *cast); // video/
int videoEncodeThread(CastContext *cast);  // video/
int audioCaptureThread(CastContext *cast); // audio/
int audioEncodeThread(CastContext *cast);  // audio/
int videoSendThread(CastContext *cast);    // send/
int audioSendThread(CastContext *cast);    // send/
int recvThread(CastContext *cast);         // link/

} // namespace pixpipe
