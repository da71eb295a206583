#include "link/receiver_link.h"

#include "lifecycle/engine_log.h"
#include "platform/console_text.h"

#include <chrono>
#include <new>

namespace pixpipe {

namespace {

constexpr int kSendTimeoutMs = 3000;
// A receiver that does not answer (its accept queue full, a silent address)
// must not hold a start or a reconnect for the system's own connect time-out.
constexpr int kConnectTimeoutMs = 3000;
// The start's connects share a shorter deadline: receivers are on the local
// network, where a connect completes in milliseconds, and the host's window
// does not answer while the start runs.
constexpr int kStartConnectTimeoutMs = 900;

// A connect under way: the socket, already in its field, and whether the
// attempt is still open (false when it failed at once or no socket exists).
struct LinkAttempt {
    SocketHandle socket = kNoSocket;
    bool pending = false;
};

// Creates the new socket and puts it in the field at once; the socket it
// replaces is shut down and handed to retire. Then begins the connect.
LinkAttempt beginLink(CastContext *cast, std::atomic<SocketHandle> &field, uint16_t port,
                      void (*retire)(CastContext *cast, SocketHandle socket)) {
    LinkAttempt attempt;
    attempt.socket = createTcpSocket();
    if (attempt.socket == kNoSocket)
        return attempt;
    SocketHandle previous = field.exchange(attempt.socket);
    if (previous != kNoSocket) {
        shutdownSocket(previous);
        retire(cast, previous);
    }
    setSendTimeout(attempt.socket, kSendTimeoutMs);
    attempt.pending = beginConnect(attempt.socket, cast->m_ip, port);
    return attempt;
}

// Waits for a begun connect until the deadline; a stop (or a stop during the
// start) ends the wait at once. Returns 1 when connected, else -1.
int finishLink(CastContext *cast, const LinkAttempt &attempt,
               std::chrono::steady_clock::time_point deadline) {
    if (attempt.socket == kNoSocket)
        return -1;
    auto castGoesOn = [cast] {
        return cast->m_running.load() == 1 && !cast->m_startCancelled.load();
    };
    if (!attempt.pending || !finishConnect(attempt.socket, deadline, castGoesOn)) {
        logLine("%s", kConnectFailedLine);
        return -1;
    }
    return 1;
}

std::chrono::steady_clock::time_point connectDeadline(int timeoutMs = kConnectTimeoutMs) {
    return std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
}

// Closes the retired control sockets that the receive thread is not using
// (it marks its socket before each read and checks the field again, so a
// socket it may still read is never closed here), then keeps the new one.
void retireControlSocket(CastContext *cast, SocketHandle socket) {
    std::vector<SocketHandle> &retired = cast->m_retiredSockets;
    SocketHandle inUse = cast->m_socketInRecv.load();
    for (auto it = retired.begin(); it != retired.end();) {
        if (*it == inUse) {
            ++it;
        } else {
            closeSocket(*it);
            it = retired.erase(it);
        }
    }
    retired.push_back(socket);
}

void retireAudioSocket(CastContext *cast, SocketHandle socket) {
    if (cast->m_retiredAudioSocket != kNoSocket)
        closeSocket(cast->m_retiredAudioSocket);
    cast->m_retiredAudioSocket = socket;
}

// The control socket for one read, marked as in use by the receive thread.
SocketHandle beginControlRead(CastContext *cast) {
    for (;;) {
        SocketHandle socket = cast->m_nsock.load();
        cast->m_socketInRecv.store(socket);
        if (cast->m_nsock.load() == socket)
            return socket;
    }
}

int receiveControl(CastContext *cast, void *buffer, size_t length) {
    int received = receiveSome(beginControlRead(cast), buffer, length);
    cast->m_socketInRecv.store(kNoSocket);
    return received;
}

LinkAttempt beginReconnect(CastContext *cast) {
    logLine("begin reconnect, m_ip=%s\n", cast->m_ip);
    return beginLink(cast, cast->m_nsock, cast->m_port, retireControlSocket);
}

LinkAttempt beginAudioReconnect(CastContext *cast) {
    logLine("audio begin reconnect, m_ip=%s\n", cast->m_ip);
    return beginLink(cast, cast->m_audioSock, static_cast<uint16_t>(cast->m_port + 1),
                     retireAudioSocket);
}

} // namespace

int reconnect(CastContext *cast) {
    return finishLink(cast, beginReconnect(cast), connectDeadline());
}

int audioReconnect(CastContext *cast) {
    return finishLink(cast, beginAudioReconnect(cast), connectDeadline());
}

void openBothLinks(CastContext *cast) {
    LinkAttempt audio = beginAudioReconnect(cast);
    LinkAttempt control = beginReconnect(cast);
    // Both connects run at the same time, under one deadline. An audio link
    // that did not connect leaves the control link as it is: the first audio
    // send fails and the audio side reconnects on its own.
    auto deadline = connectDeadline(kStartConnectTimeoutMs);
    finishLink(cast, audio, deadline);
    finishLink(cast, control, deadline);
}

int recvMessage(CastContext *cast, MessageHeader *header, std::vector<uint8_t> *body) {
    if (!header || !body)
        return -1;
    body->clear();
    *header = MessageHeader();

    uint8_t headerBytes[kHeaderSize] = {};
    size_t filled = 0;
    while (cast->m_running.load() == 1 && filled < kHeaderSize) {
        int received = receiveControl(cast, headerBytes + filled, kHeaderSize - filled);
        if (received <= 0)
            return -2;
        filled += static_cast<size_t>(received);
    }
    if (filled < kHeaderSize)
        return -1;
    if (headerBytes[0] == 0 || headerBytes[0] > kMaxReceivedType)
        return -2;

    MessageHeader received = decodeHeader(headerBytes);
    if (received.length == -2)
        return -2;
    if (received.length < 0)
        return -1;
    if (received.length == 0 || received.length > kMaxReceivedLength)
        return -2;

    std::vector<uint8_t> bytes;
    try {
        bytes.resize(static_cast<size_t>(received.length));
    } catch (const std::bad_alloc &) {
        logLine("no memory for a receiver message of %d bytes\n", received.length);
        return -2;
    }
    size_t offset = 0;
    while (cast->m_running.load() == 1 && offset < bytes.size()) {
        size_t wanted = bytes.size() - offset;
        if (wanted > kBodyReadChunk)
            wanted = kBodyReadChunk;
        int got = receiveControl(cast, bytes.data() + offset, wanted);
        if (got <= 0)
            return -2;
        offset += static_cast<size_t>(got);
    }
    bytes.resize(offset);
    *header = received;
    *body = std::move(bytes);
    return static_cast<int>(offset);
}

} // namespace pixpipe
