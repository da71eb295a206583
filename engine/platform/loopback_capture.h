// Capture of what the default playback device plays (WASAPI loopback on
// Windows): the sound source used when the capture device cannot be opened.
// LoopbackClient is what the audio side reads; tests script their own.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace pixpipe {

enum class LoopbackSampleType { Float32, Int16, Int32 };

// The shared-mode mix format of the playback device; samples come
// interleaved in it.
struct LoopbackFormat {
    int sampleRate = 0;
    int channels = 0;
    LoopbackSampleType sampleType = LoopbackSampleType::Float32;
};

enum class LoopbackStatus {
    Ok,
    DeviceLost, // the device went away, or the default playback device changed
    Failed,     // any other error of the system's audio service
};

class LoopbackClient {
public:
    virtual ~LoopbackClient() = default;
    virtual LoopbackFormat format() const = 0;
    // Appends every sample captured since the last call to `samples`
    // (interleaved, in format()); a packet the system marks silent is
    // appended as zeros. Never waits. While nothing plays the system
    // delivers nothing.
    virtual LoopbackStatus read(std::vector<uint8_t> &samples) = 0;
};

#ifdef _WIN32
// Opens and starts the WASAPI loopback capture of the default playback
// device. Initialises COM on the calling thread, which must also destroy the
// client (that releases COM again). Returns nullptr after logging why when
// it cannot be opened. (Elsewhere the platform's own sound source already
// captures what plays.)
std::unique_ptr<LoopbackClient> openDefaultLoopback();
#endif

} // namespace pixpipe
