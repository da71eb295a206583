// The socket calls the tests make beyond the engine's own (platform/socket.h):
// listening, accepting, a connected pair and a one-way shutdown. Winsock on
// Windows, BSD sockets elsewhere.
#pragma once

#include "platform/socket.h"

#include <cstdint>

namespace pixpipe::testing {

// A TCP socket bound to host:port (0 picks a free port), with SO_RCVBUF set
// when receiveBuffer > 0; kNoSocket on failure.
SocketHandle bindTcp(const char *host, uint16_t port, int receiveBuffer);
uint16_t boundPort(SocketHandle socket);
bool startListening(SocketHandle socket, int backlog = 8);
// The next connection on a listening socket; kNoSocket when it fails or the
// listener was stopped.
SocketHandle acceptConnection(SocketHandle listener);
// Wakes a thread blocked in acceptConnection and refuses later connections.
// On Windows only closing the listener does that, so it is closed there and
// the handle set to kNoSocket; elsewhere it is shut down and still needs
// closeSocket.
void stopListening(SocketHandle &listener);

// Connects within a few seconds; true on success.
bool connectWithin5s(SocketHandle socket, const char *host, uint16_t port);

// Two connected stream sockets: a local socket pair, or a loopback TCP pair
// on Windows. False on failure.
bool connectedPair(SocketHandle pair[2]);
// Two connected sockets that keep each send call as one record: a local
// packet socket pair, or a connected loopback UDP pair on Windows. Reads on
// pair[1] end (0 or -1) once the records are read and pair[0] has shut its
// sending down, or on Windows after half a second without a record.
bool recordPair(SocketHandle pair[2]);
// Ends the sending direction only: the peer reads the end of the stream.
void shutdownSending(SocketHandle socket);

} // namespace pixpipe::testing
