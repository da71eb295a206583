// What the receiver's socket loop tells a viewer about the cast. Called on
// the socket thread: implementations must hand the work over and return at
// once, so that reading the links is never held up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace receiver {

class CastListener {
public:
    virtual ~CastListener() = default;
    virtual void castStarted(const std::string &code) = 0;
    virtual void videoPacket(const uint8_t *data, size_t size) = 0;
    virtual void audioPacket(const uint8_t *data, size_t size) = 0;
    // The stop command arrived, or both links are gone.
    virtual void castStopped() = 0;
};

} // namespace receiver
