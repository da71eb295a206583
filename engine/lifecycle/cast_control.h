// The caller-thread side of a cast: creating and starting it, stopping it,
// and freeing it. The exported functions hold the current-cast pointer and
// call these.
#pragma once

#include "lifecycle/cast_context.h"

namespace pixpipe {

// How long a stop waits for the video send thread to finish the message it is
// sending (the stop command goes on the same link), the send time-out of the
// stop command itself, and how long it then waits for the threads before it
// shuts the links down. A capture thread that has still not ended
// kCaptureWaitMs after the stop began is abandoned. Together they keep a stop
// under 2 s whatever the receiver or a device does.
constexpr int kStopSendThreadWaitMs = 400;
constexpr int kStopCommandTimeoutMs = 250;
constexpr int kStopGraceMs = 1000;
constexpr int kCaptureWaitMs = 1500;

// A new cast context: every field empty, both running flags 1. Resets the
// four queues and attaches the context's ready events to them; call only
// when no other cast's threads exist. Null when out of memory.
CastContext *createCast();

// The start sequence: copies host and port, opens the audio then the control
// link, reads the screen size, sends the start command with castNum and
// starts the worker threads. Returns 1, or -1 after the start failure path
// (the context is then released). host and castNum must already be checked.
int startCast(CastContext *cast, const char *host, int port, const char *castNum, int width,
              int height);

// Ends a cast from the caller's thread: sends the stop command if the cast
// still runs and the video send thread has finished its message (otherwise
// the control link is closed without it), gives the threads kStopGraceMs to
// end, then shuts the links down until they have ended (or, for a capture
// thread, been abandoned), and releases the context. Returns only when every
// thread has ended or been abandoned and release has finished.
void stopCast(CastContext *cast);

// Closes the callbacks, joins the threads (detaching an abandoned one),
// detaches the queues and drops the host's reference to the context: it is
// freed at once, or when the last abandoned thread ends. Call after stopCast.
void freeCast(CastContext *cast);

} // namespace pixpipe
