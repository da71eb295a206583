#include "platform/socket.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstring>

namespace pixpipe {

namespace {

// How often a wait looks at keepWaiting (and, on Windows, whether the socket
// was shut down).
constexpr int kPollMs = 20;

// Milliseconds left until deadline, at most one poll step; 0 when passed.
int nextWaitMs(std::chrono::steady_clock::time_point deadline) {
    using namespace std::chrono;
    auto left = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, kPollMs));
}

bool parseAddress(const char *host, uint16_t port, sockaddr_in *address) {
    std::memset(address, 0, sizeof *address);
    address->sin_family = AF_INET;
    address->sin_port = htons(port);
    return inet_pton(AF_INET, host, &address->sin_addr) == 1;
}

} // namespace

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

// The send time-out set on the socket; none (zero) when it cannot be read.
static std::chrono::milliseconds sendTimeout(SOCKET s) {
    DWORD timeout = 0;
    int length = sizeof timeout;
    if (getsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<char *>(&timeout), &length) != 0)
        timeout = 0;
    return std::chrono::milliseconds(timeout);
}

// Whether a call that found the socket not ready should wait: not when its
// connect was abandoned unfinished, which Winsock does not cancel.
static bool worthWaiting(SOCKET s) {
    if (WSAGetLastError() != WSAEWOULDBLOCK)
        return false;
    sockaddr_in peer;
    int length = sizeof peer;
    if (getpeername(s, reinterpret_cast<sockaddr *>(&peer), &length) == 0)
        return true;
    WSASetLastError(WSAENOTCONN);
    return false;
}

// Waits up to waitMs for the socket to turn readable or writable.
static void waitForSocket(SOCKET s, bool forWriting, int waitMs) {
    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(s, &ready);
    timeval timeout{};
    timeout.tv_usec = waitMs * 1000;
    select(0, forWriting ? nullptr : &ready, forWriting ? &ready : nullptr, nullptr, &timeout);
}

// Connected sockets are non-blocking here: Winsock's shutdown does not end a
// send or receive that is already blocked, so the calls below wait in short
// steps and try again, and a try after shutdownSocket fails at once. The send
// time-out (SO_SNDTIMEO binds blocking calls only) is kept by the wait.
int sendSome(SocketHandle socket, const void *data, size_t length) {
    SOCKET s = static_cast<SOCKET>(socket);
    std::chrono::steady_clock::time_point deadline{};
    bool timed = false;
    for (bool first = true;; first = false) {
        int sent = send(s, static_cast<const char *>(data), static_cast<int>(length), 0);
        if (sent != SOCKET_ERROR)
            return sent;
        if (first ? !worthWaiting(s) : WSAGetLastError() != WSAEWOULDBLOCK)
            return -1;
        if (first) {
            std::chrono::milliseconds timeout = sendTimeout(s);
            timed = timeout.count() > 0;
            deadline = std::chrono::steady_clock::now() + timeout;
        }
        int waitMs = timed ? nextWaitMs(deadline) : kPollMs;
        if (waitMs == 0) {
            WSASetLastError(WSAETIMEDOUT);
            return -1;
        }
        waitForSocket(s, true, waitMs);
    }
}

int receiveSome(SocketHandle socket, void *buffer, size_t length) {
    SOCKET s = static_cast<SOCKET>(socket);
    for (bool first = true;; first = false) {
        int received = recv(s, static_cast<char *>(buffer), static_cast<int>(length), 0);
        if (received != SOCKET_ERROR)
            return received;
        if (first ? !worthWaiting(s) : WSAGetLastError() != WSAEWOULDBLOCK)
            return -1;
        waitForSocket(s, false, kPollMs);
    }
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

bool beginConnect(SocketHandle socket, const char *host, uint16_t port) {
    sockaddr_in address;
    if (!parseAddress(host, port, &address))
        return false;
    u_long nonBlocking = 1;
    ioctlsocket(static_cast<SOCKET>(socket), FIONBIO, &nonBlocking);
    if (connect(static_cast<SOCKET>(socket), reinterpret_cast<const sockaddr *>(&address),
                sizeof address) == 0)
        return true;
    return WSAGetLastError() == WSAEWOULDBLOCK;
}

bool finishConnect(SocketHandle socket, std::chrono::steady_clock::time_point deadline,
                   const std::function<bool()> &keepWaiting) {
    SOCKET s = static_cast<SOCKET>(socket);
    bool connected = false;
    // One look even when the deadline has passed: a connect that completed
    // meanwhile (while another link used up the wait) counts.
    for (bool first = true; keepWaiting(); first = false) {
        int waitMs = nextWaitMs(deadline);
        if (waitMs == 0 && !first)
            break;
        fd_set writable;
        fd_set failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(s, &writable);
        FD_SET(s, &failed);
        timeval timeout{};
        timeout.tv_usec = waitMs * 1000;
        int ready = select(0, nullptr, &writable, &failed, &timeout);
        if (ready == SOCKET_ERROR)
            break;
        if (ready > 0) {
            connected = FD_ISSET(s, &writable) && !FD_ISSET(s, &failed);
            break;
        }
        if (waitMs == 0)
            break;
    }
    // The socket stays non-blocking (see sendSome). An unfinished connect is
    // not cancelled by Winsock; sendSome and receiveSome then fail at once
    // with "not connected" instead of waiting for it.
    return connected;
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

static void setBlocking(SocketHandle socket, bool blocking) {
    int flags = fcntl(socket, F_GETFL);
    if (flags >= 0)
        fcntl(socket, F_SETFL, blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK);
}

bool beginConnect(SocketHandle socket, const char *host, uint16_t port) {
    sockaddr_in address;
    if (!parseAddress(host, port, &address))
        return false;
    setBlocking(socket, false);
    // An interrupted non-blocking connect goes on in the background.
    if (connect(socket, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0 ||
        errno == EINPROGRESS || errno == EINTR)
        return true;
    setBlocking(socket, true);
    return false;
}

bool finishConnect(SocketHandle socket, std::chrono::steady_clock::time_point deadline,
                   const std::function<bool()> &keepWaiting) {
    bool connected = false;
    // One look even when the deadline has passed: a connect that completed
    // meanwhile (while another link used up the wait) counts.
    for (bool first = true; keepWaiting(); first = false) {
        int waitMs = nextWaitMs(deadline);
        if (waitMs == 0 && !first)
            break;
        pollfd entry{socket, POLLOUT, 0};
        int ready = poll(&entry, 1, waitMs);
        if (ready < 0 && errno != EINTR)
            break;
        if (ready > 0) {
            int error = 0;
            socklen_t length = sizeof error;
            connected = getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) == 0 &&
                        error == 0 && !(entry.revents & (POLLERR | POLLHUP));
            break;
        }
        if (waitMs == 0)
            break;
    }
    // Shutting down a socket that is still connecting drops the attempt: the
    // next send fails at once instead of waiting for the connection.
    if (!connected)
        shutdown(socket, SHUT_RDWR);
    setBlocking(socket, true);
    return connected;
}

#endif

} // namespace pixpipe
