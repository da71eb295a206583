#include "link/receiver_link.h"

#include "lifecycle/engine_log.h"
#include "platform/console_text.h"

#include <new>

namespace pixpipe {

namespace {

constexpr int kSendTimeoutMs = 3000;

// Creates the new socket and puts it in the field at once; the socket it
// replaces is shut down and handed to retire. Then connects.
int openLink(CastContext *cast, std::atomic<SocketHandle> &field, uint16_t port,
             void (*retire)(CastContext *cast, SocketHandle socket)) {
    SocketHandle socket = createTcpSocket();
    if (socket == kNoSocket)
        return -1;
    SocketHandle previous = field.exchange(socket);
    if (previous != kNoSocket) {
        shutdownSocket(previous);
        retire(cast, previous);
    }
    setSendTimeout(socket, kSendTimeoutMs);
    if (!connectTo(socket, cast->m_ip, port)) {
        logLine("%s", kConnectFailedLine);
        return -1;
    }
    return 1;
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

} // namespace

int reconnect(CastContext *cast) {
    logLine("begin reconnect, m_ip=%s\n", cast->m_ip);
    return openLink(cast, cast->m_nsock, cast->m_port, retireControlSocket);
}

int audioReconnect(CastContext *cast) {
    logLine("audio begin reconnect, m_ip=%s\n", cast->m_ip);
    return openLink(cast, cast->m_audioSock, static_cast<uint16_t>(cast->m_port + 1),
                    retireAudioSocket);
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
