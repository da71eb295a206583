#include "link/receiver_link.h"

#include "lifecycle/engine_log.h"

#include <new>

namespace pixpipe {

namespace {

constexpr int kSendTimeoutMs = 3000;

#ifdef _WIN32
// "连接服务器失败!" in the GBK code page, as the Windows console expects it.
constexpr const char *kConnectFailedLine =
    "\xC1\xAC\xBD\xD3\xB7\xFE\xCE\xF1\xC6\xF7\xCA\xA7\xB0\xDC!\n";
#else
constexpr const char *kConnectFailedLine = "连接服务器失败!\n";
#endif

int openLink(CastContext *cast, std::atomic<SocketHandle> &field, SocketHandle &retired,
             uint16_t port) {
    SocketHandle socket = createTcpSocket();
    if (socket == kNoSocket)
        return -1;
    SocketHandle previous = field.exchange(socket);
    if (previous != kNoSocket) {
        shutdownSocket(previous);
        if (retired != kNoSocket)
            closeSocket(retired);
        retired = previous;
    }
    setSendTimeout(socket, kSendTimeoutMs);
    if (!connectTo(socket, cast->m_ip, port)) {
        logLine("%s", kConnectFailedLine);
        return -1;
    }
    return 1;
}

} // namespace

int reconnect(CastContext *cast) {
    logLine("begin reconnect, m_ip=%s\n", cast->m_ip);
    return openLink(cast, cast->m_nsock, cast->m_retiredSocket, cast->m_port);
}

int audioReconnect(CastContext *cast) {
    logLine("audio begin reconnect, m_ip=%s\n", cast->m_ip);
    return openLink(cast, cast->m_audioSock, cast->m_retiredAudioSocket,
                    static_cast<uint16_t>(cast->m_port + 1));
}

int recvMessage(CastContext *cast, MessageHeader *header, std::vector<uint8_t> *body) {
    if (!header || !body)
        return -1;
    body->clear();
    *header = MessageHeader();

    uint8_t headerBytes[kHeaderSize] = {};
    size_t filled = 0;
    while (cast->m_running.load() == 1 && filled < kHeaderSize) {
        int received =
            receiveSome(cast->m_nsock.load(), headerBytes + filled, kHeaderSize - filled);
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
        int got = receiveSome(cast->m_nsock.load(), bytes.data() + offset, wanted);
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
