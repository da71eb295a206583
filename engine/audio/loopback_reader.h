// Reads the playback loopback as PCM frames for the sample converter. The
// loopback delivers nothing while nothing plays; those gaps are filled with
// silence paced by the clock, so that the sound keeps its sample rate's time
// and stays in step with the picture.
#pragma once

#include "audio/audio_decoder.h"
#include "audio/sample_converter.h"
#include "platform/loopback_capture.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace pixpipe {

class LoopbackReader {
public:
    using Clock = std::function<int64_t()>; // monotonic milliseconds

    // Silence is owed only once the loopback has been quiet this long, so
    // that the short pauses between its packets never add any.
    static constexpr int kQuietMs = 30;
    // The most silence one read hands out.
    static constexpr int kLongestSilenceMs = 100;

    LoopbackReader(std::unique_ptr<LoopbackClient> client, Clock clock);

    // The samples' layout as the converter takes them (interleaved).
    SampleInput input() const { return m_input; }

    // Takes what the loopback captured, or the silence owed, into `frame`.
    // dataPresent is false when there is neither: the caller pauses a few
    // milliseconds before reading again. A lost or failed device sets error.
    DecodeResult read(AVFrame *frame);

private:
    bool fillFrame(AVFrame *frame, int sampleCount, const uint8_t *samples);

    std::unique_ptr<LoopbackClient> m_client;
    Clock m_clock;
    SampleInput m_input;
    int m_bytesPerFrame = 0; // one sample of every channel
    int64_t m_startMs = 0;
    int64_t m_lastDataMs = 0;
    int64_t m_samplesOut = 0; // captured and silent, since the start
    std::vector<uint8_t> m_buffer;
};

// Opens a playback loopback through `open` and reads it on the steady clock;
// nullptr when it cannot be opened. Create and destroy it on one thread.
std::unique_ptr<LoopbackReader> openLoopbackReader(std::unique_ptr<LoopbackClient> (*open)());

} // namespace pixpipe
