#include "show/aac_decoder.h"

#include "audio_writer.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

namespace receiver {

AacDecoder::AacDecoder(int sampleRate)
    : StreamDecoder(AV_CODEC_ID_AAC, "AAC"), m_sampleRate(sampleRate) {}

AacDecoder::~AacDecoder() {
    swr_free(&m_resampler);
}

std::vector<int16_t> AacDecoder::decode(const uint8_t *data, size_t size) {
    m_error.clear();
    std::vector<int16_t> samples;
    if (size == 0)
        return samples;
    // The packets come raw; an ADTS header tells the decoder the rate and
    // the channels, as in the recorded audio.aac.
    auto header = adtsHeader(m_sampleRate, size);
    if (!header) {
        m_error = "AAC packet of " + std::to_string(size) + " bytes is too long";
        return samples;
    }
    m_adtsFrame.assign(header->begin(), header->end());
    m_adtsFrame.insert(m_adtsFrame.end(), data, data + size);
    if (!m_decoder.decode(
            m_adtsFrame.data(), m_adtsFrame.size(),
            [&](AVFrame *frame) { return convert(frame, samples); }, m_error))
        samples.clear();
    return samples;
}

bool AacDecoder::convert(AVFrame *frame, std::vector<int16_t> &samples) {
    if (!m_resampler) {
        AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
        int result = swr_alloc_set_opts2(
            &m_resampler, &stereo, AV_SAMPLE_FMT_S16, frame->sample_rate, &frame->ch_layout,
            static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0, nullptr);
        if (result >= 0)
            result = swr_init(m_resampler);
        if (result < 0) {
            m_error = "cannot convert the decoded sound: " + avErrorText(result);
            swr_free(&m_resampler);
            return false;
        }
    }
    size_t start = samples.size();
    samples.resize(start + static_cast<size_t>(frame->nb_samples) * kPlaybackChannels);
    uint8_t *out = reinterpret_cast<uint8_t *>(samples.data() + start);
    int count = swr_convert(m_resampler, &out, frame->nb_samples,
                            const_cast<const uint8_t **>(frame->extended_data), frame->nb_samples);
    if (count < 0) {
        m_error = "cannot convert the decoded sound: " + avErrorText(count);
        return false;
    }
    samples.resize(start + static_cast<size_t>(count) * kPlaybackChannels);
    return true;
}

} // namespace receiver
