// The two send threads: each packet as one media message, header then body
// chunks, with the link restored and the message sent again after a failure.
#include "lifecycle/cast_lifecycle.h"
#include "lifecycle/engine_log.h"
#include "lifecycle/worker_threads.h"
#include "link/message_framing.h"
#include "link/receiver_link.h"
#include "queue/media_queues.h"

namespace pixpipe {

namespace {

constexpr int kReconnectAttempts = 20;
// The largest body piece handed to one send call.
constexpr size_t kBodyChunkSize = 1024;

// What tells the video and the audio sender apart.
struct SendLink {
    PacketQueue &queue;
    std::atomic<SocketHandle> CastContext::*socket;
    int (*connect)(CastContext *cast);
    std::atomic<int32_t> CastContext::*running; // governs the main and body loops
    std::atomic<int32_t> CastContext::*doneFlag;
    MessageType type;
    bool logLastChunkFailure;
    const char *beginReconnectLine;
    const char *attemptFailedLine;
    const char *reconnectFailedLine;
    const char *endLine;
    void (*fail)(CastContext *cast); // the failure path once the link is lost
};

void failVideoLink(CastContext *cast) {
    cast->m_flagsend.store(1);
    failVideoSide(cast, PIXPIPE_LINK_LOST);
    logLine("send over\n");
}

void failAudioLink(CastContext *cast) {
    cast->m_flagasend.store(1);
    failAudioSide(cast, PIXPIPE_AUDIO_LINK_LOST);
    logLine("audio send over\n");
}

const SendLink kVideoLink = {videoPacketQueue,
                             &CastContext::m_nsock,
                             reconnect,
                             &CastContext::m_running,
                             &CastContext::m_flagsend,
                             MSG_VIDEO,
                             false,
                             "begin socket reconnect\n",
                             "reconnect is failed %d\n",
                             "reconnetct is failed\n",
                             "exit send thread\n",
                             failVideoLink};

const SendLink kAudioLink = {audioPacketQueue,
                             &CastContext::m_audioSock,
                             audioReconnect,
                             &CastContext::m_audioRunning,
                             &CastContext::m_flagasend,
                             MSG_AUDIO,
                             true,
                             "begin audio socket reconnect\n",
                             "audio reconnect is failed %d\n",
                             "audio reconnetct is failed\n",
                             "exit audio send thread.\n",
                             failAudioLink};

// Up to 20 connect attempts while the cast runs (the cast's flag on both
// links). True when the link is back; otherwise the failure path has run.
bool restoreLink(CastContext *cast, const SendLink &link) {
    logLine("%s", link.beginReconnectLine);
    for (int attempt = 1;; ++attempt) {
        if (cast->m_running.load() != 1)
            break;
        if (link.connect(cast) == 1)
            return true;
        if (attempt == kReconnectAttempts) {
            logLine("%s", link.reconnectFailedLine);
            break;
        }
        logLine(link.attemptFailedLine, attempt);
    }
    link.fail(cast);
    return false;
}

// Sends all length bytes, the rest of a short send in further calls. False
// when a send fails: the message can then only be sent again from its start.
bool sendWhole(SocketHandle socket, const uint8_t *data, size_t length) {
    while (length > 0) {
        int sent = sendSome(socket, data, length);
        if (sent <= 0)
            return false;
        data += sent;
        length -= static_cast<size_t>(sent);
    }
    return true;
}

// Sends header and body, starting over from the header on a new link after a
// failed send. Returns false when the link could not be restored.
bool sendPacket(CastContext *cast, const SendLink &link, const AVPacket *packet) {
    MessageHeader header;
    header.type = link.type;
    header.length = packet->size;
    header.stamp = static_cast<int32_t>(static_cast<uint32_t>(packet->pts));
    uint8_t headerBytes[kHeaderSize];
    encodeHeader(header, headerBytes);

    for (;;) {
        if (!sendWhole((cast->*link.socket).load(), headerBytes, kHeaderSize)) {
            if (!restoreLink(cast, link))
                return false;
            continue;
        }
        size_t offset = 0;
        size_t remaining = static_cast<size_t>(packet->size > 0 ? packet->size : 0);
        bool resend = false;
        // A message once begun is finished even when the cast stops meanwhile:
        // the stop command follows on the control link and must not land
        // inside a body, where the receiver would read it as picture bytes.
        while (remaining > 0) {
            size_t chunk = remaining < kBodyChunkSize ? remaining : kBodyChunkSize;
            int sent = sendSome((cast->*link.socket).load(), packet->data + offset, chunk);
            if (sent <= 0) {
                int error = lastSocketError();
                if (link.logLastChunkFailure && chunk == remaining)
                    logLine("audio send failed nrt = %d\n", error);
                if (!restoreLink(cast, link))
                    return false;
                resend = true;
                break;
            }
            offset += static_cast<size_t>(sent);
            remaining -= static_cast<size_t>(sent);
        }
        if (!resend)
            return true;
    }
}

int runSendThread(CastContext *cast, const SendLink &link) {
    const std::atomic<int32_t> &running = cast->*link.running;
    while (running.load() == 1) {
        AVPacket *packet = link.queue.waitAndTake();
        if (!packet)
            continue;
        if (isEndMarker(packet)) {
            freeMediaItem(packet);
            break;
        }
        // Woken by a stop: a header without its body would only confuse the
        // receiver, so the packet is dropped.
        if (running.load() != 1) {
            freeMediaItem(packet);
            break;
        }
        sendPacket(cast, link, packet);
        freeMediaItem(packet);
    }
    logLine("%s", link.endLine);
    (cast->*link.doneFlag).store(1);
    return 1;
}

} // namespace

int videoSendThread(CastContext *cast) {
    return runSendThread(cast, kVideoLink);
}

int audioSendThread(CastContext *cast) {
    return runSendThread(cast, kAudioLink);
}

} // namespace pixpipe
