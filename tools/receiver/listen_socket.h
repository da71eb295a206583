// The listening side of the loopback programs that play a receiver
// (cast-receiver, and the benchmark's stream-probe).
#pragma once

#include <cstdint>
#include <string>

namespace receiver {

// A TCP socket bound to address:port (port 0: any free port), not yet
// listening; -1 with errno set on failure.
int bindListener(const std::string &address, uint16_t port);

// The port a socket is bound to.
uint16_t boundPort(int fd);

} // namespace receiver
