// A cast context for the tests that run some of the engine's worker threads
// themselves, outside startCapture.
#pragma once

#include "callback_recorder.h"
#include "lifecycle/worker_threads.h"

#include <algorithm>
#include <initializer_list>

namespace pixpipe::testing {

// Sends the cast's callback codes to recorder and marks every worker whose
// entry is not among running as ended, so that what waits for all workers
// (release) waits only for the ones the test starts.
inline void prepareWorkerTestCast(CastContext &cast, CallbackRecorder &recorder,
                                  std::initializer_list<WorkerEntry> running) {
    cast.m_userData = recorder.userData();
    cast.m_callback = CallbackRecorder::callback;
    for (const WorkerThread &worker : kWorkerThreads) {
        if (std::find(running.begin(), running.end(), worker.entry) == running.end())
            (cast.*worker.doneFlag) = 1;
    }
}

} // namespace pixpipe::testing
