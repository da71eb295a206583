#include "platform/socket.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
#endif

#include <cstring>

namespace pixpipe {

#ifdef _WIN32

void startSocketLibrary() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
}

SocketHandle createTcpSocket() {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET)
        return kNoSocket;
    // Every message ends in a small chunk; without this it would wait for the
    // receiver's delayed acknowledgement (tens of milliseconds of latency).
    BOOL noDelay = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char *>(&noDelay),
               sizeof noDelay);
    return static_cast<SocketHandle>(s);
}

void setSendTimeout(SocketHandle socket, int milliseconds) {
    DWORD timeout = static_cast<DWORD>(milliseconds);
    setsockopt(static_cast<SOCKET>(socket), SOL_SOCKET, SO_SNDTIMEO,
               reinterpret_cast<const char *>(&timeout), sizeof timeout);
}

int sendSome(SocketHandle socket, const void *data, size_t length) {
    int sent = send(static_cast<SOCKET>(socket), static_cast<const char *>(data),
                    static_cast<int>(length), 0);
    return sent == SOCKET_ERROR ? -1 : sent;
}

int receiveSome(SocketHandle socket, void *buffer, size_t length) {
    int received =
        recv(static_cast<SOCKET>(socket), static_cast<char *>(buffer), static_cast<int>(length), 0);
    return received == SOCKET_ERROR ? -1 : received;
}

void shutdownSocket(SocketHandle socket) {
    shutdown(static_cast<SOCKET>(socket), SD_BOTH);
}

void closeSocket(SocketHandle socket) {
    closesocket(static_cast<SOCKET>(socket));
}

int lastSocketError() {
    return WSAGetLastError();
}

static int connectSocket(SocketHandle socket, const sockaddr_in &address) {
    return connect(static_cast<SOCKET>(socket), reinterpret_cast<const sockaddr *>(&address),
                   sizeof address) == 0
               ? 0
               : -1;
}

#else

void startSocketLibrary() {}

SocketHandle createTcpSocket() {
    int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (s < 0)
        return kNoSocket;
    // Every message ends in a small chunk; without this it would wait for the
    // receiver's delayed acknowledgement (tens of milliseconds of latency).
    int noDelay = 1;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
    return s;
}

void setSendTimeout(SocketHandle socket, int milliseconds) {
    timeval timeout{};
    timeout.tv_sec = milliseconds / 1000;
    timeout.tv_usec = (milliseconds % 1000) * 1000;
    setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
}

// MSG_NOSIGNAL: a link closed by the receiver yields EPIPE instead of a
// SIGPIPE that would end the host process.
int sendSome(SocketHandle socket, const void *data, size_t length) {
    ssize_t sent;
    do {
        sent = send(socket, data, length, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    return sent < 0 ? -1 : static_cast<int>(sent);
}

int receiveSome(SocketHandle socket, void *buffer, size_t length) {
    ssize_t received;
    do {
        received = recv(socket, buffer, length, 0);
    } while (received < 0 && errno == EINTR);
    return received < 0 ? -1 : static_cast<int>(received);
}

void shutdownSocket(SocketHandle socket) {
    shutdown(socket, SHUT_RDWR);
}

void closeSocket(SocketHandle socket) {
    close(socket);
}

int lastSocketError() {
    return errno;
}

static int connectSocket(SocketHandle socket, const sockaddr_in &address) {
    int result;
    do {
        result = connect(socket, reinterpret_cast<const sockaddr *>(&address), sizeof address);
    } while (result < 0 && errno == EINTR);
    return result;
}

#endif

bool connectTo(SocketHandle socket, const char *host, uint16_t port) {
    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    if (inet_pton(AF_INET, host, &address.sin_addr) != 1)
        return false;
    return connectSocket(socket, address) == 0;
}

} // namespace pixpipe
