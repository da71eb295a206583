// The per-cast object: media contexts, queue events, receiver sockets and the
// flags through which the seven worker threads meet.
#pragma once

#include "pixpipe.h"
#include "platform/manual_reset_event.h"
#include "platform/socket.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libswresample/swresample.h>
}

namespace pixpipe {

struct CastContext {
    CastContext();
    // Frees the media contexts that are still in their fields: those of a
    // capture thread that was left behind (see m_abandonLock).
    ~CastContext();
    CastContext(const CastContext &) = delete;
    CastContext &operator=(const CastContext &) = delete;

    AVFormatContext *m_videoInput = nullptr;
    AVCodecContext *m_videoDecoder = nullptr;
    AVCodecContext *m_videoEncoder = nullptr;
    AVFormatContext *m_audioInput = nullptr;
    AVFormatContext *m_audioOutput = nullptr; // holds the AAC stream's parameters only
    AVCodecContext *m_audioDecoder = nullptr;
    AVCodecContext *m_audioEncoder = nullptr;
    SwrContext *m_resampler = nullptr;
    AVAudioFifo *m_sampleFifo = nullptr;

    ManualResetEvent m_videoFrameEvent;
    ManualResetEvent m_videoPacketEvent;
    ManualResetEvent m_audioFrameEvent;
    ManualResetEvent m_audioPacketEvent;

    int32_t m_screenWidth = 0;
    int32_t m_screenHeight = 0;
    int32_t m_width = 0;
    int32_t m_height = 0;

    std::atomic<SocketHandle> m_nsock{kNoSocket};     // control link, carries the video
    std::atomic<SocketHandle> m_audioSock{kNoSocket}; // audio link

    std::atomic<int32_t> m_running{1};      // governs video, receive and reconnect loops
    std::atomic<int32_t> m_audioRunning{1}; // governs the audio threads

    // Done flags, one per worker thread; each thread sets its own on every way out.
    std::atomic<int32_t> m_flagcap{0};
    std::atomic<int32_t> m_flagenc{0};
    std::atomic<int32_t> m_flagsend{0};
    std::atomic<int32_t> m_flagrecv{0};
    std::atomic<int32_t> m_flagacap{0};
    std::atomic<int32_t> m_flagaenc{0};
    std::atomic<int32_t> m_flagasend{0};

    std::atomic<bool> m_released{false};
    std::atomic<int32_t> m_notified{0};

    // Set by a stop that arrives while the start is still connecting: the
    // connects give up and the start fails.
    std::atomic<bool> m_startCancelled{false};

    char m_ip[16] = {};
    uint16_t m_port = 0;

    std::atomic<CaptureCallback> m_callback{nullptr};
    std::atomic<intptr_t> m_userData{0};

    // Set when release has finished its work, so that stopCapture never frees
    // the context while a worker thread's release is still running.
    ManualResetEvent m_releaseFinished;

    // Callbacks run under this lock; once m_callbacksClosed is set none runs
    // again, so the host may delete the callback's receiver after stopCapture.
    std::mutex m_callbackLock;
    bool m_callbacksClosed = false;
    // Codes raised before the host registered its callback (a capture device
    // that fails inside the start), delivered by setCallback. Under the
    // callback lock.
    std::vector<int> m_pendingCodes;

    // A socket replaced by a reconnect is shut down at once (waking any
    // thread blocked on it) but closed only later, so that no thread can use
    // its number after the system has handed it out again. The control
    // sockets wait while the receive thread has one in use (m_socketInRecv);
    // the audio link has no reader, one reconnect of delay suffices. Each
    // list is touched only by the one thread that reconnects its link, and
    // by release.
    std::vector<SocketHandle> m_retiredSockets;
    SocketHandle m_retiredAudioSocket = kNoSocket;
    std::atomic<SocketHandle> m_socketInRecv{kNoSocket};

    // Held by a stop on the caller's thread while it uses the sockets in the
    // fields, and by release while it closes them: a release on a worker
    // thread must not close a socket that the stop is sending on.
    std::mutex m_linkLock;

    // Steady-clock milliseconds when the video capture thread last queued a
    // picture (or began); the video encode thread ends a cast whose device
    // has delivered nothing for too long.
    std::atomic<int64_t> m_lastPictureMs{0};

    // A capture thread stuck inside its device (an X call that no interrupt
    // reaches) is left behind when the cast ends: it is abandoned, and its
    // std::thread detached instead of joined. Set under m_abandonLock, only
    // while the thread's done flag is 0; the thread looks under the same lock
    // before it adds to a shared queue. An abandoned thread touches neither
    // the shared queues nor the callback; the media contexts of its side stay
    // in their fields (release leaves them) and go with the context, which
    // the thread keeps alive through its copy of m_owner.
    std::mutex m_abandonLock;
    std::atomic<bool> m_videoCaptureAbandoned{false};
    std::atomic<bool> m_audioCaptureAbandoned{false};

    // The host's reference to this context, set by createCast and dropped by
    // freeCast; each worker thread holds a copy while it runs.
    std::shared_ptr<CastContext> m_owner;

    // The worker threads with their done flags, joined before the context is
    // freed (an abandoned one is detached).
    struct Worker {
        std::atomic<int32_t> CastContext::*doneFlag;
        std::thread thread;
    };
    std::vector<Worker> m_threads;
};

} // namespace pixpipe
