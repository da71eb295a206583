// TCP sockets for the receiver links: Winsock on Windows, BSD sockets elsewhere.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>

namespace pixpipe {

// The value of a socket field that holds no socket.
#ifdef _WIN32
using SocketHandle = uintptr_t;
constexpr SocketHandle kNoSocket = ~static_cast<SocketHandle>(0);
#else
using SocketHandle = int;
constexpr SocketHandle kNoSocket = -1;
#endif

// Starts the socket library (Winsock 2.2); a no-op elsewhere.
void startSocketLibrary();

// Creates an IPv4 stream socket; kNoSocket on failure.
SocketHandle createTcpSocket();

// Sets the send time-out in milliseconds.
void setSendTimeout(SocketHandle socket, int milliseconds);

// Begins connecting to dotted IPv4 host and port without blocking. False
// when the attempt failed at once (bad address, refused).
bool beginConnect(SocketHandle socket, const char *host, uint16_t port);

// Waits for the connect begun by beginConnect until it completes, the
// deadline passes or keepWaiting() turns false, then makes the socket
// blocking again (on Windows sendSome and receiveSome do the waiting). True
// when connected; otherwise the attempt is abandoned, so
// that a send on the socket fails at once instead of waiting for it.
bool finishConnect(SocketHandle socket, std::chrono::steady_clock::time_point deadline,
                   const std::function<bool()> &keepWaiting);

// One send call; never raises SIGPIPE. Returns the bytes sent or -1.
int sendSome(SocketHandle socket, const void *data, size_t length);

// One receive call. Returns the bytes read, 0 at end of stream, or -1.
int receiveSome(SocketHandle socket, void *buffer, size_t length);

// Shuts both directions down so that blocked reads and sends return.
void shutdownSocket(SocketHandle socket);

void closeSocket(SocketHandle socket);

// The system error code of the last failed socket call.
int lastSocketError();

} // namespace pixpipe
