#include "lifecycle/worker_threads.h"

#include "lifecycle/engine_log.h"

#include <new>
#include <string>
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
std::atomic<WorkerStartFailure> g_failingWorkerKind{WorkerStartFailure::NoThreadLeft};

bool isMediaPipelineWorker(const WorkerThread &worker) {
    return worker.doneFlag == &CastContext::m_flagcap ||
           worker.doneFlag == &CastContext::m_flagenc ||
           worker.doneFlag == &CastContext::m_flagacap ||
           worker.doneFlag == &CastContext::m_flagaenc;
}

void throwIfFailingForTesting(int index) {
    if (index != g_failingWorker.load())
        return;
    if (g_failingWorkerKind.load() == WorkerStartFailure::OutOfMemory)
        throw std::bad_alloc();
    throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
}

} // namespace

void setMediaPipelinesForTesting(bool enabled) {
    g_mediaPipelines.store(enabled);
}

void failWorkerStartForTesting(int index, WorkerStartFailure kind) {
    g_failingWorkerKind.store(kind);
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
        std::string failure;
        try {
            throwIfFailingForTesting(i);
            cast->m_threads.push_back({worker.doneFlag, std::thread()});
            // Each thread keeps the context alive while it runs: one that is
            // abandoned in a stuck device may outlive the host's reference.
            cast->m_threads.back().thread =
                std::thread([entry = worker.entry, cast, owner = cast->m_owner] {
                    tl_engineWorker = true;
                    entry(cast);
                });
        } catch (const std::system_error &error) {
            failure = error.what();
        } catch (const std::bad_alloc &) {
            failure = "out of memory";
        }
        if (!failure.empty()) {
            // The entry added for a thread that did not start holds nothing.
            if (!cast->m_threads.empty() && !cast->m_threads.back().thread.joinable())
                cast->m_threads.pop_back();
            logLine("could not start the %s thread: %s\n", worker.name, failure.c_str());
            for (int j = i; j < kWorkerThreadCount; ++j)
                (cast->*kWorkerThreads[j].doneFlag).store(1);
            return false;
        }
    }
    return true;
}

} // namespace pixpipe
