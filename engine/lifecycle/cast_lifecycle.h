// Operations on a cast context that the worker threads share: notification,
// the release step and the two failure paths.
#pragma once

#include "lifecycle/cast_context.h"

namespace pixpipe {

// Calls the callback once per cast: only if one is set and m_notified is 0.
void notifyOnce(CastContext *cast, int code);

// Calls the callback whenever one is set (audio side).
void notifyWithoutGuard(CastContext *cast, int code);

// Waits for all seven done flags, then frees the media contexts, the
// sockets and the queued items. Runs at most once per cast context.
void release(CastContext *cast);

// The common end of a fatal video-side error, after the thread has set its
// own done flag and signalled the event the next thread waits on: clears both
// running flags, notifies once with code and releases.
void failVideoSide(CastContext *cast, int code);

// The common end of an audio-side failure, after the thread has set its own
// done flag and signalled the downstream event: clears m_audioRunning and
// notifies without guard. The video side goes on; nothing is released.
void failAudioSide(CastContext *cast, int code);

} // namespace pixpipe
