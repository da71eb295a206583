#include "audio/aac_encoder.h"

#include "audio/audio_error_text.h"
#include "lifecycle/engine_log.h"

namespace pixpipe {

bool openAacEncoder(CastContext *cast, int sampleRate) {
    AVCodecContext *encoder = nullptr;
    const AVCodec *codec = nullptr;
    AVStream *stream = nullptr;
    int error = 0;

    cast->m_audioOutput = avformat_alloc_context();
    if (!cast->m_audioOutput) {
        logErrorLine("Could not allocate output format context\n");
        return false;
    }
    codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
    if (!codec) {
        logErrorLine("Could not find an AAC encoder.\n");
        goto fail;
    }
    stream = avformat_new_stream(cast->m_audioOutput, nullptr);
    if (!stream) {
        logErrorLine("Could not create new stream\n");
        goto fail;
    }
    encoder = avcodec_alloc_context3(codec);
    if (!encoder) {
        logErrorLine("Could not allocate an encoding context\n");
        goto fail;
    }

    av_channel_layout_default(&encoder->ch_layout, kAacChannels);
    encoder->sample_rate = sampleRate;
    encoder->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
    encoder->bit_rate = kAacBitRate;
    encoder->strict_std_compliance = FF_COMPLIANCE_EXPERIMENTAL;
    stream->time_base = AVRational{1, sampleRate};

    error = avcodec_open2(encoder, codec, nullptr);
    if (error < 0) {
        logErrorLine("Could not open output codec (error '%s')\n", audioErrorText(error).c_str());
        goto fail;
    }
    error = avcodec_parameters_from_context(stream->codecpar, encoder);
    if (error < 0) {
        logErrorLine("Could not initialize stream parameters\n");
        goto fail;
    }
    cast->m_audioEncoder = encoder;
    return true;

fail:
    avcodec_free_context(&encoder);
    avformat_free_context(cast->m_audioOutput);
    cast->m_audioOutput = nullptr;
    return false;
}

} // namespace pixpipe
