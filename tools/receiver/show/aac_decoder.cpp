#include "show/aac_decoder.h"

#include "audio_writer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libswresample/swresample.h>
}

namespace receiver {

namespace {

std::string avError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

} // namespace

AacDecoder::AacDecoder(int sampleRate) : m_sampleRate(sampleRate) {
    const AVCodec *codec = avcodec_find_decoder(AV_CODEC_ID_AAC);
    if (!codec) {
        m_error = "no AAC decoder in libavcodec";
        return;
    }
    m_decoder = avcodec_alloc_context3(codec);
    m_frame = av_frame_alloc();
    m_packet = av_packet_alloc();
    if (!m_decoder || !m_frame || !m_packet) {
        m_error = "out of memory";
        avcodec_free_context(&m_decoder);
        return;
    }
    int result = avcodec_open2(m_decoder, codec, nullptr);
    if (result < 0) {
        m_error = "cannot open the AAC decoder: " + avError(result);
        avcodec_free_context(&m_decoder);
    }
}

AacDecoder::~AacDecoder() {
    swr_free(&m_resampler);
    av_packet_free(&m_packet);
    av_frame_free(&m_frame);
    avcodec_free_context(&m_decoder);
}

void AacDecoder::restart() {
    if (m_decoder)
        avcodec_flush_buffers(m_decoder);
}

std::vector<int16_t> AacDecoder::decode(const uint8_t *data, size_t size) {
    m_error.clear();
    std::vector<int16_t> samples;
    if (!m_decoder || size == 0)
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
    m_packet->data = m_adtsFrame.data();
    m_packet->size = static_cast<int>(m_adtsFrame.size());
    int result = avcodec_send_packet(m_decoder, m_packet);
    av_packet_unref(m_packet);
    if (result < 0) {
        m_error = "broken AAC packet: " + avError(result);
        return samples;
    }
    while ((result = avcodec_receive_frame(m_decoder, m_frame)) >= 0) {
        bool converted = convert(m_frame, samples);
        av_frame_unref(m_frame);
        if (!converted)
            return {};
    }
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
            m_error = "cannot convert the decoded sound: " + avError(result);
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
        m_error = "cannot convert the decoded sound: " + avError(count);
        return false;
    }
    samples.resize(start + static_cast<size_t>(count) * kPlaybackChannels);
    return true;
}

} // namespace receiver
