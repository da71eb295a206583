#include "audio/loopback_reader.h"

#include "lifecycle/engine_log.h"

#include <algorithm>
#include <chrono>
#include <cstring>

extern "C" {
#include <libavutil/samplefmt.h>
}

namespace pixpipe {

namespace {

AVSampleFormat packedFormatOf(LoopbackSampleType type) {
    switch (type) {
    case LoopbackSampleType::Int16:
        return AV_SAMPLE_FMT_S16;
    case LoopbackSampleType::Int32:
        return AV_SAMPLE_FMT_S32;
    case LoopbackSampleType::Float32:
        break;
    }
    return AV_SAMPLE_FMT_FLT;
}

int64_t steadyMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

LoopbackReader::LoopbackReader(std::unique_ptr<LoopbackClient> client, Clock clock)
    : m_client(std::move(client)), m_clock(std::move(clock)) {
    const LoopbackFormat format = m_client->format();
    m_input = {format.channels, packedFormatOf(format.sampleType), format.sampleRate};
    m_bytesPerFrame = av_get_bytes_per_sample(m_input.format) * m_input.channels;
    m_startMs = m_clock();
    m_lastDataMs = m_startMs;
}

DecodeResult LoopbackReader::read(AVFrame *frame) {
    DecodeResult result;
    m_buffer.clear();
    const LoopbackStatus status = m_client->read(m_buffer);
    if (status != LoopbackStatus::Ok) {
        result.error = status == LoopbackStatus::DeviceLost ? AVERROR(ENODEV) : AVERROR(EIO);
        return result;
    }

    const int64_t now = m_clock();
    int sampleCount = static_cast<int>(m_buffer.size() / m_bytesPerFrame);
    const uint8_t *samples = m_buffer.data();
    if (sampleCount > 0) {
        m_lastDataMs = now;
    } else if (now - m_lastDataMs >= kQuietMs) {
        const int64_t due = (now - m_startMs) * m_input.sampleRate / 1000;
        const int64_t longest = int64_t{m_input.sampleRate} * kLongestSilenceMs / 1000;
        sampleCount = static_cast<int>(std::clamp<int64_t>(due - m_samplesOut, 0, longest));
        samples = nullptr;
    }
    if (sampleCount == 0)
        return result;

    m_samplesOut += sampleCount;
    if (!fillFrame(frame, sampleCount, samples)) {
        result.error = AVERROR(ENOMEM);
        return result;
    }
    result.dataPresent = true;
    return result;
}

// Gives the frame a buffer of sampleCount samples holding `samples`, or
// silence when samples is null.
bool LoopbackReader::fillFrame(AVFrame *frame, int sampleCount, const uint8_t *samples) {
    frame->nb_samples = sampleCount;
    frame->format = m_input.format;
    frame->sample_rate = m_input.sampleRate;
    av_channel_layout_default(&frame->ch_layout, m_input.channels);
    if (av_frame_get_buffer(frame, 0) < 0) {
        logLine("loopback capture: could not allocate %d samples\n", sampleCount);
        return false;
    }
    if (samples)
        std::memcpy(frame->data[0], samples, static_cast<size_t>(sampleCount) * m_bytesPerFrame);
    else
        av_samples_set_silence(frame->data, 0, sampleCount, m_input.channels, m_input.format);
    return true;
}

std::unique_ptr<LoopbackReader> openLoopbackReader(std::unique_ptr<LoopbackClient> (*open)()) {
    std::unique_ptr<LoopbackClient> client = open();
    if (!client)
        return nullptr;
    return std::make_unique<LoopbackReader>(std::move(client), steadyMs);
}

} // namespace pixpipe
