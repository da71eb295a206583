#include "lifecycle/worker_threads.h"

#include "lifecycle/engine_log.h"

#include <system_error>

namespace pixpipe {

// Start order. A worker that is not started (the media pipelines when a test
// switched them off) gets its done flag set at once, so release does not wait for it.
const WorkerThread kWorkerThreads[kWorkerThreadCount] = {
    {"video capture", videoCaptureThread, &CastContext::m_flagcap},
    {"video encode", videoEncodeThread, &CastContext::m_flagenc},
    {"audio capture", audioCaptureThread, &CastContext::m_flagacap},
    {"audio encode", audioEncodeThread, &CastContext::m_flagaenc},
    {"video send", videoSendThread, &CastContext::m_flagsend},
    {"audio send", audioSendThread, &CastContext::m_flagasend},
    {"receive", recvThread, &CastContext::m_flagrecv},
};

namespace {

thread_local bool tl_engineWorker = false;
std::atomic<bool> g_mediaPipelines{true};
std::atomic<int> g_failingWorker{-1};

bool isMediaPipelineWorker(const WorkerThread &worker) {
    return worker.doneFlag == &CastContext::m_flagcap ||
           worker.doneFlag == &CastContext::m_flagenc ||
           worker.doneFlag == &CastContext::m_flagacap ||
           worker.doneFlag == &CastContext::m_flagaenc;
}

} // namespace

void setMediaPipelinesForTesting(bool enabled) {
    g_mediaPipelines.store(enabled);
}

void failWorkerStartForTesting(int index) {
    g_failingWorker.store(index);
}

bool isEngineWorkerThread() {
    return tl_engineWorker;
}

bool startWorkerThreads(CastContext *cast) {
    for (int i = 0; i < kWorkerThreadCount; ++i) {
        const WorkerThread &worker = kWorkerThreads[i];
        if (isMediaPipelineWorker(worker) && !g_mediaPipelines.load()) {
            (cast->*worker.doneFlag).store(1);
            continue;
        }
        try {
            if (i == g_failingWorker.load())
                throw std::system_error(
                    std::make_error_code(std::errc::resource_unavailable_try_again));
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
