#include "lifecycle/worker_threads.h"

#include "lifecycle/engine_log.h"

#include <system_error>

namespace pixpipe {

// Start order. The capture and encode threads of the video and audio
// pipelines have no entry until those pipelines are built; their done flags
// are set at start so that release does not wait for them.
const WorkerThread kWorkerThreads[kWorkerThreadCount] = {
    {"video capture", videoCaptureThread, &CastContext::m_flagcap},
    {"video encode", videoEncodeThread, &CastContext::m_flagenc},
    {"audio capture", nullptr, &CastContext::m_flagacap},
    {"audio encode", nullptr, &CastContext::m_flagaenc},
    {"video send", videoSendThread, &CastContext::m_flagsend},
    {"audio send", audioSendThread, &CastContext::m_flagasend},
    {"receive", recvThread, &CastContext::m_flagrecv},
};

namespace {
thread_local bool tl_engineWorker = false;
}

bool isEngineWorkerThread() {
    return tl_engineWorker;
}

bool startWorkerThreads(CastContext *cast) {
    for (int i = 0; i < kWorkerThreadCount; ++i) {
        const WorkerThread &worker = kWorkerThreads[i];
        if (!worker.entry) {
            (cast->*worker.doneFlag).store(1);
            continue;
        }
        try {
            cast->m_threads.emplace_back([entry = worker.entry, cast] {
                tl_engineWorker = true;
                entry(cast);
            });
        } catch (const std::system_error &error) {
            logLine("could not start the %s thread: %s\n", worker.name, error.what());
            for (int j = i; j < kWorkerThreadCount; ++j)
                (cast->*kWorkerThreads[j].doneFlag).store(1);
            return false;
        }
    }
    return true;
}

} // namespace pixpipe
