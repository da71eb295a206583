#include "lifecycle/cast_control.h"
#include "lifecycle/cast_lifecycle.h"
#include "lifecycle/engine_log.h"
#include "link/message_framing.h"
#include "platform/clock.h"
#include "queue/media_queues.h"

#include <algorithm>
#include <chrono>

namespace pixpipe {

namespace {

constexpr int kPollMs = 10;

// Sends MSG_STOP; the result as logged: -1 no control socket, -2 send
// failed, 0 sent.
int sendStopCommand(CastContext *cast) {
    std::lock_guard<std::mutex> lock(cast->m_linkLock);
    SocketHandle socket = cast->m_nsock.load();
    logLine("send stop cmd\n");
    logLine("StopCast m_nsock = %lld\n", static_cast<long long>(socket));
    int result = -1;
    if (socket != kNoSocket) {
        // A receiver that does not read must not hold the stop for the
        // link's full send time-out.
        setSendTimeout(socket, kStopCommandTimeoutMs);
        uint8_t command[kStopCommandSize];
        buildStopCommand(command);
        int sent = sendSome(socket, command, sizeof command);
        logLine("send ret = %d\n", sent);
        if (sent < 0)
            logLine("send stop cmd failed, error=%d\n", lastSocketError());
        // Part of the command would leave the receiver inside a message; the
        // link is then closed like a failed one.
        result = sent == static_cast<int>(sizeof command) ? 0 : -2;
    }
    logLine("StopCast ret = %d\n", result);
    return result;
}

using Clock = std::chrono::steady_clock;

void waitForFlags(const CastContext *cast, bool (*done)(const CastContext *cast),
                  Clock::time_point deadline) {
    while (Clock::now() < deadline && !done(cast))
        sleepMs(kPollMs);
}

bool videoSendDone(const CastContext *cast) {
    return cast->m_flagsend.load() == 1;
}

// Shuts both links down, again whenever a reconnect has put a new socket in a
// field, until every thread has ended: blocked reads, sends and connects
// then return at once. Capture threads still running at abandonAt are left
// behind; every other thread ends once its link is down.
void unblockWorkers(CastContext *cast, Clock::time_point abandonAt) {
    SocketHandle shutControl = kNoSocket;
    SocketHandle shutAudio = kNoSocket;
    bool abandoned = false;
    while (!allWorkersDone(cast)) {
        {
            std::lock_guard<std::mutex> lock(cast->m_linkLock);
            SocketHandle control = cast->m_nsock.load();
            if (control != kNoSocket && control != shutControl) {
                shutdownSocket(control);
                shutControl = control;
            }
            SocketHandle audio = cast->m_audioSock.load();
            if (audio != kNoSocket && audio != shutAudio) {
                shutdownSocket(audio);
                shutAudio = audio;
            }
        }
        wakeAllConsumers(cast);
        if (!abandoned && Clock::now() >= abandonAt) {
            abandonStuckCaptures(cast);
            abandoned = true;
            continue;
        }
        sleepMs(kPollMs);
    }
}

bool workerAbandoned(const CastContext *cast, std::atomic<int32_t> CastContext::*doneFlag) {
    if (doneFlag == &CastContext::m_flagcap)
        return captureAbandoned(cast, CaptureSide::Video);
    if (doneFlag == &CastContext::m_flagacap)
        return captureAbandoned(cast, CaptureSide::Audio);
    return false;
}

} // namespace

bool sendStopAfterMessage(CastContext *cast) {
    waitForFlags(cast, videoSendDone,
                 Clock::now() + std::chrono::milliseconds(kStopSendThreadWaitMs));
    if (!videoSendDone(cast)) {
        logLine("the video message in flight cannot be finished, the control link is closed "
                "without the stop command\n");
        return false;
    }
    return sendStopCommand(cast) == 0;
}

void endWorkers(CastContext *cast, int graceMs, Clock::time_point stopBegan) {
    Clock::time_point abandonAt = stopBegan + std::chrono::milliseconds(kCaptureWaitMs);
    waitForFlags(cast, allWorkersDone,
                 std::min(Clock::now() + std::chrono::milliseconds(graceMs), abandonAt));
    if (!allWorkersDone(cast)) {
        logLine("threads still running after the stop, shutting the links down\n");
        unblockWorkers(cast, abandonAt);
    }
}

void stopCast(CastContext *cast) {
    Clock::time_point began = Clock::now();
    cast->m_audioRunning.store(0);
    int32_t running = 1;
    if (cast->m_running.compare_exchange_strong(running, 0)) {
        wakeAllConsumers(cast);
        endWorkers(cast, sendStopAfterMessage(cast) ? kStopGraceMs : 0, began);
    } else {
        // A failure ended the cast first and is closing the links; the stop
        // does not wait for its pauses.
        endWorkers(cast, 0, began);
    }
    release(cast);
    // Another thread's release may still be freeing the context's contents.
    cast->m_releaseFinished.wait();
}

void freeCast(CastContext *cast) {
    closeCallbacks(cast);
    for (CastContext::Worker &worker : cast->m_threads) {
        if (workerAbandoned(cast, worker.doneFlag))
            worker.thread.detach();
        else
            worker.thread.join();
    }
    videoFrameQueue.attachReadyEvent(nullptr);
    videoPacketQueue.attachReadyEvent(nullptr);
    audioFrameQueue.attachReadyEvent(nullptr);
    audioPacketQueue.attachReadyEvent(nullptr);
    // An abandoned thread holds its own reference; the context then goes
    // when that thread ends.
    std::shared_ptr<CastContext> owner = std::move(cast->m_owner);
}

} // namespace pixpipe
