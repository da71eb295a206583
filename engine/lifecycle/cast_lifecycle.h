// Operations on a cast context that the worker threads share: notification,
// the release step and the two failure paths.
#pragma once

#include "lifecycle/cast_context.h"
#include "lifecycle/cast_control.h"

#include <chrono>

namespace pixpipe {

// Calls the callback once per cast: only if one is set and m_notified is 0.
void notifyOnce(CastContext *cast, int code);

// Calls the callback whenever one is set (audio side).
void notifyWithoutGuard(CastContext *cast, int code);

// Stores the host's callback and delivers, on the calling thread, the codes
// raised before it was registered, in order. A worker that raises a code
// meanwhile waits, so each code reaches the host once.
void registerCallback(CastContext *cast, intptr_t userData, CaptureCallback fn);

// Forgets the codes kept for setCallback (a failed start reports through its
// result instead).
void discardPendingCodes(CastContext *cast);

// After this no callback of the cast runs; waits for one that is running.
void closeCallbacks(CastContext *cast);

// Waits for all seven done flags (an abandoned capture thread counts as
// ended), then frees the media contexts (including
// the sample converter and FIFO; not those of an abandoned capture thread's
// side), the sockets and the queued items. Runs at
// most once per cast context and sets m_releaseFinished when done. A thread
// that frees a media context itself must empty the field.
void release(CastContext *cast);

// The common end of a fatal video-side error, after the thread has set its
// own done flag and signalled the event the next thread waits on: clears both
// running flags and wakes every queue consumer; when this ends the cast, sends
// the stop command (stopCommand, and the video message in flight finished),
// shuts both links down so that every worker wakes, and waits for the
// workers; notifies once with code; releases. Needs no call from the host.
void endCastOnFailure(CastContext *cast, int code, bool stopCommand);

// A video device that has delivered no picture for this long while the cast
// runs has failed: the cast ends with 1001, as when it cannot be opened.
constexpr int kNoPictureLimitMs = 5000;

// endCastOnFailure with the stop command for the video pipeline's own codes
// (1001 to 1004), without it for -1 and 0, whose cause is the link.
void failVideoSide(CastContext *cast, int code);

// Sends the stop command after the video send thread has ended, waiting for
// it up to kStopSendThreadWaitMs. When it is still inside a message the
// command would land in the middle of a body; it is then not sent. True
// when the command went out.
bool sendStopAfterMessage(CastContext *cast);

// Waits up to graceMs for the workers to end on their own, then shuts the
// links down (again whenever a reconnect put a new socket in a field) until
// every worker has ended. A capture thread still inside its device
// kCaptureWaitMs after stopBegan is abandoned (abandonStuckCaptures), so the
// wait is bounded whatever a device does.
void endWorkers(CastContext *cast, int graceMs, std::chrono::steady_clock::time_point stopBegan);

enum class CaptureSide { Video, Audio };

// Leaves every capture thread that has not ended to end on its own. Call
// only once both running flags are 0.
void abandonStuckCaptures(CastContext *cast);

bool captureAbandoned(const CastContext *cast, CaptureSide side);

// For a capture thread that failed with code: when the stop has left it
// behind, the cast has ended and the failure concerns nobody; logs that,
// sets the thread's done flag and returns true. Otherwise touches nothing.
bool endAbandonedCapture(CastContext *cast, CaptureSide side, int code);

// The normal end of a capture thread: queues the end marker of its stream,
// logs the end and sets the thread's done flag, its last touch of the cast.
void finishCapture(CastContext *cast, CaptureSide side);

// Adds a capture thread's frame to its queue (videoFrameQueue or
// audioFrameQueue, waiting by the queue rules); an abandoned thread's frame
// is freed instead, since the queue may belong to the next cast by now.
void queueCapturedFrame(CastContext *cast, CaptureSide side, AVFrame *frame);

// The interrupt callback of the capture inputs: opaque is the running flag
// that governs the thread; a blocked open or read returns once it is 0.
int interruptWhenStopped(void *runningFlag);

// The common end of an audio-side failure, after the thread has set its own
// done flag and signalled the downstream event: clears m_audioRunning, wakes
// the audio consumers and notifies without guard. The video side goes on;
// nothing is released.
void failAudioSide(CastContext *cast, int code);

// Signals the four ready events. A consumer blocked on an empty queue then
// wakes, finds nothing, and re-tests its running flag, so the threads end
// even when their producer never existed or has already ended.
void wakeAllConsumers(CastContext *cast);

// True when all seven done flags are 1 (or the thread was abandoned).
bool allWorkersDone(const CastContext *cast);

// Sleeps up to ms milliseconds in short steps, returning early once the
// flag is 0, so that pauses inside worker loops never delay a stop.
void sleepWhileRunning(const std::atomic<int32_t> &running, int ms);

} // namespace pixpipe
