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

using WorkerEntry = int (*)(CastContext *cast);

struct WorkerThread {
    const char *name;
    WorkerEntry entry; // empty while that pipeline is not part of the engine
    std::atomic<int32_t> CastContext::*doneFlag;
};

constexpr int kWorkerThreadCount = 7;
extern const WorkerThread kWorkerThreads[kWorkerThreadCount];

// Starts the workers in table order into cast->m_threads. A worker without an
// entry gets its done flag set instead. Returns false when a thread could not
// be created (no thread or no memory left); the done flags of that worker and
// of all later ones are then set.
bool startWorkerThreads(CastContext *cast);

// Tests of the links and the lifecycle run casts without the capture and
// encode threads (their done flags are then set at start) and feed the
// packet queues themselves. Internal; not exported from the library.
void setMediaPipelinesForTesting(bool enabled);

enum class WorkerStartFailure { NoThreadLeft, OutOfMemory };

// Makes the creation of the worker at this index in kWorkerThreads fail, as
// when the system has no thread left or no memory; -1 ends it. Internal; not
// exported.
void failWorkerStartForTesting(int index,
                               WorkerStartFailure kind = WorkerStartFailure::NoThreadLeft);

// True on a thread started by startWorkerThreads.
bool isEngineWorkerThread();

} // namespace pixpipe
