#include "lifecycle/cast_lifecycle.h"

#include "lifecycle/engine_log.h"
#include "platform/clock.h"
#include "queue/media_queues.h"

namespace pixpipe {

namespace {

// At most one once-only code and one failure of each audio thread can be
// raised before the host registers; the bound only guards the list.
constexpr size_t kMaxPendingCodes = 8;

// Runs the callback under the callback lock; `once` claims m_notified first.
// Without a callback yet the code is kept for setCallback.
void notify(CastContext *cast, int code, bool once) {
    std::lock_guard<std::mutex> lock(cast->m_callbackLock);
    if (cast->m_callbacksClosed)
        return;
    if (once && cast->m_notified.exchange(1) != 0)
        return;
    CaptureCallback callback = cast->m_callback.load();
    if (callback)
        callback(cast->m_userData.load(), code);
    else if (cast->m_pendingCodes.size() < kMaxPendingCodes)
        cast->m_pendingCodes.push_back(code);
}

// True when this call changed the flag from 1 to 0.
bool clearFlag(std::atomic<int32_t> &flag) {
    int32_t running = 1;
    return flag.compare_exchange_strong(running, 0);
}

void closeSocketField(std::atomic<SocketHandle> &field) {
    SocketHandle socket = field.exchange(kNoSocket);
    if (socket != kNoSocket)
        closeSocket(socket);
}

void closeRetiredSockets(CastContext *cast) {
    for (SocketHandle socket : cast->m_retiredSockets)
        closeSocket(socket);
    cast->m_retiredSockets.clear();
    if (cast->m_retiredAudioSocket != kNoSocket)
        closeSocket(cast->m_retiredAudioSocket);
    cast->m_retiredAudioSocket = kNoSocket;
}

void freeOutputContext(AVFormatContext *&context) {
    if (!context)
        return;
    if (context->pb && context->oformat && !(context->oformat->flags & AVFMT_NOFILE))
        avio_closep(&context->pb);
    avformat_free_context(context);
    context = nullptr;
}

void freeVideoMedia(CastContext *cast) {
    avformat_close_input(&cast->m_videoInput);
    avcodec_free_context(&cast->m_videoDecoder);
    avcodec_free_context(&cast->m_videoEncoder);
}

void freeAudioMedia(CastContext *cast) {
    avformat_close_input(&cast->m_audioInput);
    avcodec_free_context(&cast->m_audioDecoder);
    freeOutputContext(cast->m_audioOutput);
    avcodec_free_context(&cast->m_audioEncoder);
    swr_free(&cast->m_resampler);
    if (cast->m_sampleFifo) {
        av_audio_fifo_free(cast->m_sampleFifo);
        cast->m_sampleFifo = nullptr;
    }
}

const char *captureThreadName(CaptureSide side) {
    return side == CaptureSide::Video ? "capture thread" : "audio capture thread";
}

std::atomic<int32_t> &captureDoneFlag(CastContext *cast, CaptureSide side) {
    return side == CaptureSide::Video ? cast->m_flagcap : cast->m_flagacap;
}

std::atomic<bool> &abandonedFlag(CastContext *cast, CaptureSide side) {
    return side == CaptureSide::Video ? cast->m_videoCaptureAbandoned
                                      : cast->m_audioCaptureAbandoned;
}

void logDoneFlags(const char *prefix, const CastContext *cast) {
    logLine("%sm_flagcap = %d, m_flagenc = %d, m_flagsend = %d, m_flagrecv = %d, m_flagacap = %d, "
            "m_flagaenc = %d, m_flagasend = %d\n",
            prefix, cast->m_flagcap.load(), cast->m_flagenc.load(), cast->m_flagsend.load(),
            cast->m_flagrecv.load(), cast->m_flagacap.load(), cast->m_flagaenc.load(),
            cast->m_flagasend.load());
}

} // namespace

CastContext::CastContext() : m_lastPictureMs(steadyClockMs()) {}

CastContext::~CastContext() {
    freeVideoMedia(this);
    freeAudioMedia(this);
}

void notifyOnce(CastContext *cast, int code) {
    notify(cast, code, true);
}

void notifyWithoutGuard(CastContext *cast, int code) {
    notify(cast, code, false);
}

void registerCallback(CastContext *cast, intptr_t userData, CaptureCallback fn) {
    std::lock_guard<std::mutex> lock(cast->m_callbackLock);
    cast->m_userData.store(userData);
    cast->m_callback.store(fn);
    if (cast->m_callbacksClosed)
        return;
    for (int code : cast->m_pendingCodes)
        fn(userData, code);
    cast->m_pendingCodes.clear();
}

void discardPendingCodes(CastContext *cast) {
    std::lock_guard<std::mutex> lock(cast->m_callbackLock);
    cast->m_pendingCodes.clear();
}

void closeCallbacks(CastContext *cast) {
    std::lock_guard<std::mutex> lock(cast->m_callbackLock);
    cast->m_callbacksClosed = true;
}

bool allWorkersDone(const CastContext *cast) {
    return (cast->m_flagcap.load() == 1 || cast->m_videoCaptureAbandoned.load()) &&
           cast->m_flagenc.load() == 1 && cast->m_flagsend.load() == 1 &&
           cast->m_flagrecv.load() == 1 &&
           (cast->m_flagacap.load() == 1 || cast->m_audioCaptureAbandoned.load()) &&
           cast->m_flagaenc.load() == 1 && cast->m_flagasend.load() == 1;
}

bool captureAbandoned(const CastContext *cast, CaptureSide side) {
    return side == CaptureSide::Video ? cast->m_videoCaptureAbandoned.load()
                                      : cast->m_audioCaptureAbandoned.load();
}

bool endAbandonedCapture(CastContext *cast, CaptureSide side, int code) {
    if (!captureAbandoned(cast, side))
        return false;
    logLine("%s left behind by the stop has ended (%d)\n", captureThreadName(side), code);
    captureDoneFlag(cast, side) = 1;
    return true;
}

void finishCapture(CastContext *cast, CaptureSide side) {
    if (AVFrame *marker = newEndMarkerFrame())
        queueCapturedFrame(cast, side, marker);
    if (captureAbandoned(cast, side))
        logLine("%s left behind by the stop has ended\n", captureThreadName(side));
    else
        logLine("%s is exit\n", captureThreadName(side));
    captureDoneFlag(cast, side) = 1;
}

void abandonStuckCaptures(CastContext *cast) {
    std::lock_guard<std::mutex> lock(cast->m_abandonLock);
    if (cast->m_flagcap.load() == 0 && !cast->m_videoCaptureAbandoned.exchange(true))
        logLine("the video capture device does not answer, its thread is left to end on its own\n");
    if (cast->m_flagacap.load() == 0 && !cast->m_audioCaptureAbandoned.exchange(true))
        logLine("the audio capture device does not answer, its thread is left to end on its own\n");
}

void queueCapturedFrame(CastContext *cast, CaptureSide side, AVFrame *frame) {
    // The stop clears the running flags before it abandons a thread, so an
    // add that holds this lock does not wait on a full queue then.
    std::lock_guard<std::mutex> lock(cast->m_abandonLock);
    if (abandonedFlag(cast, side).load()) {
        av_frame_free(&frame);
        return;
    }
    if (side == CaptureSide::Video)
        videoFrameQueue.add(frame, cast->m_running);
    else
        audioFrameQueue.add(frame, cast->m_audioRunning);
}

int interruptWhenStopped(void *runningFlag) {
    return static_cast<const std::atomic<int32_t> *>(runningFlag)->load() == 0 ? 1 : 0;
}

void release(CastContext *cast) {
    if (cast->m_released.exchange(true))
        return;
    logDoneFlags("release ", cast);
    while (!allWorkersDone(cast))
        sleepMs(10);
    logDoneFlags("start release ", cast);

    // An abandoned capture thread may still use its side's contexts; they
    // go with the cast context once that thread has ended.
    if (!captureAbandoned(cast, CaptureSide::Video))
        freeVideoMedia(cast);
    if (!captureAbandoned(cast, CaptureSide::Audio))
        freeAudioMedia(cast);

    {
        std::lock_guard<std::mutex> lock(cast->m_linkLock);
        closeSocketField(cast->m_nsock);
        closeSocketField(cast->m_audioSock);
        closeRetiredSockets(cast);
    }

    videoFrameQueue.reset();
    videoPacketQueue.reset();
    audioFrameQueue.reset();
    audioPacketQueue.reset();

    // m_notified stays 1: a thread that ends after this release (a send that
    // fails after the receiver's quit) must not deliver a second code.
    cast->m_releaseFinished.set();
}

void endCastOnFailure(CastContext *cast, int code, bool stopCommand) {
    bool endsCast = clearFlag(cast->m_running);
    clearFlag(cast->m_audioRunning);
    wakeAllConsumers(cast);
    // Only the failure that ended the cast closes the links; a later one
    // (a send failing after the receiver's quit) finds them closed or
    // being closed by the stop.
    if (!endsCast) {
        notifyOnce(cast, code);
        release(cast);
        return;
    }
    auto began = std::chrono::steady_clock::now();
    bool stopSent = stopCommand && sendStopAfterMessage(cast);
    notifyOnce(cast, code);
    endWorkers(cast, stopSent ? kStopGraceMs : 0, began);
    release(cast);
}

void failVideoSide(CastContext *cast, int code) {
    // The video pipeline's own failures leave the control link sound; -1
    // (link lost) and 0 (the receiver ended the cast) come from the link.
    endCastOnFailure(cast, code, code > 0);
}

void failAudioSide(CastContext *cast, int code) {
    clearFlag(cast->m_audioRunning);
    cast->m_audioFrameEvent.set();
    cast->m_audioPacketEvent.set();
    notifyWithoutGuard(cast, code);
}

void wakeAllConsumers(CastContext *cast) {
    cast->m_videoFrameEvent.set();
    cast->m_videoPacketEvent.set();
    cast->m_audioFrameEvent.set();
    cast->m_audioPacketEvent.set();
}

void sleepWhileRunning(const std::atomic<int32_t> &running, int ms) {
    constexpr int kStepMs = 10;
    for (int slept = 0; slept < ms && running.load() == 1; slept += kStepMs)
        sleepMs(kStepMs);
}

} // namespace pixpipe
