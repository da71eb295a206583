#include "test_sockets.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace pixpipe::testing {

#ifdef _WIN32
using NativeSocket = SOCKET;
using AddressSize = int;
#else
using NativeSocket = int;
using AddressSize = socklen_t;
#endif

namespace {

NativeSocket native(SocketHandle socket) {
    return static_cast<NativeSocket>(socket);
}

} // namespace

SocketHandle bindTcp(const char *host, uint16_t port, int receiveBuffer) {
    startSocketLibrary();
    SocketHandle socket = createTcpSocket();
    if (socket == kNoSocket)
        return kNoSocket;
    int one = 1;
    setsockopt(native(socket), SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char *>(&one),
               sizeof one);
    if (receiveBuffer > 0)
        setsockopt(native(socket), SOL_SOCKET, SO_RCVBUF,
                   reinterpret_cast<const char *>(&receiveBuffer), sizeof receiveBuffer);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    if (inet_pton(AF_INET, host, &address.sin_addr) != 1 ||
        bind(native(socket), reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        closeSocket(socket);
        return kNoSocket;
    }
    return socket;
}

uint16_t boundPort(SocketHandle socket) {
    sockaddr_in address{};
    AddressSize size = sizeof address;
    getsockname(native(socket), reinterpret_cast<sockaddr *>(&address), &size);
    return ntohs(address.sin_port);
}

bool startListening(SocketHandle socket, int backlog) {
    return listen(native(socket), backlog) == 0;
}

SocketHandle acceptConnection(SocketHandle listener) {
#ifdef _WIN32
    SOCKET accepted = accept(native(listener), nullptr, nullptr);
    return accepted == INVALID_SOCKET ? kNoSocket : static_cast<SocketHandle>(accepted);
#else
    int accepted = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    return accepted < 0 ? kNoSocket : accepted;
#endif
}

void stopListening(SocketHandle &listener) {
#ifdef _WIN32
    closeSocket(listener);
    listener = kNoSocket;
#else
    shutdown(listener, SHUT_RDWR);
#endif
}

bool connectWithin5s(SocketHandle socket, const char *host, uint16_t port) {
    return beginConnect(socket, host, port) &&
           finishConnect(socket, std::chrono::steady_clock::now() + std::chrono::seconds(5),
                         [] { return true; });
}

bool connectedPair(SocketHandle pair[2]) {
#ifdef _WIN32
    SocketHandle listener = bindTcp("127.0.0.1", 0, 0);
    if (listener == kNoSocket)
        return false;
    pair[0] = kNoSocket;
    pair[1] = kNoSocket;
    if (startListening(listener)) {
        pair[0] = createTcpSocket();
        if (pair[0] != kNoSocket && connectWithin5s(pair[0], "127.0.0.1", boundPort(listener)))
            pair[1] = acceptConnection(listener);
    }
    closeSocket(listener);
    if (pair[1] == kNoSocket && pair[0] != kNoSocket) {
        closeSocket(pair[0]);
        pair[0] = kNoSocket;
    }
    return pair[1] != kNoSocket;
#else
    return socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) == 0;
#endif
}

bool recordPair(SocketHandle pair[2]) {
#ifdef _WIN32
    startSocketLibrary();
    SOCKET ends[2] = {INVALID_SOCKET, INVALID_SOCKET};
    sockaddr_in addresses[2] = {};
    bool ok = true;
    for (int i = 0; i < 2 && ok; ++i) {
        ends[i] = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
        addresses[i].sin_family = AF_INET;
        addresses[i].sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int size = sizeof addresses[i];
        ok = ends[i] != INVALID_SOCKET &&
             bind(ends[i], reinterpret_cast<sockaddr *>(&addresses[i]), size) == 0 &&
             getsockname(ends[i], reinterpret_cast<sockaddr *>(&addresses[i]), &size) == 0;
    }
    for (int i = 0; i < 2 && ok; ++i)
        ok = connect(ends[i], reinterpret_cast<sockaddr *>(&addresses[1 - i]),
                     sizeof addresses[1 - i]) == 0;
    DWORD timeout = 500;
    ok = ok && setsockopt(ends[1], SOL_SOCKET, SO_RCVTIMEO,
                          reinterpret_cast<const char *>(&timeout), sizeof timeout) == 0;
    for (int i = 0; i < 2; ++i) {
        if (!ok && ends[i] != INVALID_SOCKET)
            closesocket(ends[i]);
        pair[i] = ok ? static_cast<SocketHandle>(ends[i]) : kNoSocket;
    }
    return ok;
#else
    return socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) == 0;
#endif
}

void shutdownSending(SocketHandle socket) {
#ifdef _WIN32
    shutdown(native(socket), SD_SEND);
#else
    shutdown(socket, SHUT_WR);
#endif
}

} // namespace pixpipe::testing
