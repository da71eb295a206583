// Operations on a cast context that the worker threads share: notification,
// the release step and the two failure paths.
#pragma once

#include "lifecycle/cast_context.h"

namespace pixpipe {

// Calls the callback once per cast: only if one is set and m_notified is 0.
void notifyOnce(CastContext *cast, int code);

// Calls the callback whenever one is set (audio side).
void notifyWithoutGuard(CastContext *cast, int code);

// After this no callback of the cast runs; waits for one that is running.
void closeCallbacks(CastContext *cast);

// Waits for all seven done flags, then frees the media contexts (including
// the sample converter and FIFO), the sockets and the queued items. Runs at
// most once per cast context and sets m_releaseFinished when done. A thread
// that frees a media context itself must empty the field.
void release(CastContext *cast);

// The common end of a fatal video-side error, after the thread has set its
// own done flag and signalled the event the next thread waits on: clears both
// running flags, wakes every queue consumer, notifies once with code and
// releases.
void failVideoSide(CastContext *cast, int code);

// The common end of an audio-side failure, after the thread has set its own
// done flag and signalled the downstream event: clears m_audioRunning, wakes
// the audio consumers and notifies without guard. The video side goes on;
// nothing is released.
void failAudioSide(CastContext *cast, int code);

// Signals the four ready events. A consumer blocked on an empty queue then
// wakes, finds nothing, and re-tests its running flag, so the threads end
// even when their producer never existed or has already ended.
void wakeAllConsumers(CastContext *cast);

// True when all seven done flags are 1.
bool allWorkersDone(const CastContext *cast);

// Sleeps up to ms milliseconds in short steps, returning early once the
// flag is 0, so that pauses inside worker loops never delay a stop.
void sleepWhileRunning(const std::atomic<int32_t> &running, int ms);

} // namespace pixpipe
