// TCP sockets for the receiver links: Winsock on Windows, BSD sockets elsewhere.
#pragma once

#include <cstddef>
#include <cstdint>

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

// Connects to dotted IPv4 host and port; true on success.
bool connectTo(SocketHandle socket, const char *host, uint16_t port);

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
