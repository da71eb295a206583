#include "audio/audio_decoder.h"

#include "audio/audio_error_text.h"
#include "lifecycle/engine_log.h"

namespace pixpipe {

bool openAudioDecoder(CastContext *cast, const AVStream *stream) {
    AVCodecContext *decoder = nullptr;
    int error = 0;

    const AVCodec *codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec) {
        logErrorLine("Could not find input codec\n");
        goto fail;
    }
    decoder = avcodec_alloc_context3(codec);
    if (!decoder) {
        logErrorLine("Could not allocate a decoding context\n");
        goto fail;
    }
    error = avcodec_parameters_to_context(decoder, stream->codecpar);
    if (error < 0)
        goto fail;
    error = avcodec_open2(decoder, codec, nullptr);
    if (error < 0) {
        logErrorLine("Could not open input codec (error '%s')\n", audioErrorText(error).c_str());
        goto fail;
    }
    cast->m_audioDecoder = decoder;
    return true;

fail:
    avcodec_free_context(&decoder);
    avformat_close_input(&cast->m_audioInput);
    return false;
}

DecodeResult readDecodedFrame(AVFormatContext *input, AVCodecContext *decoder, AVFrame *frame) {
    DecodeResult result;
    AVPacket *packet = av_packet_alloc();
    if (!packet) {
        result.error = AVERROR(ENOMEM);
        return result;
    }

    int error = av_read_frame(input, packet);
    if (error == AVERROR(EAGAIN) || error == AVERROR_EXIT) {
        result.noPacket = true;
        av_packet_free(&packet);
        return result;
    }
    if (error == AVERROR_EOF) {
        // The empty packet sent below drains the decoder.
        result.finished = true;
    } else if (error < 0) {
        logErrorLine("Could not read frame (error '%s')\n", audioErrorText(error).c_str());
        result.error = error;
        av_packet_free(&packet);
        return result;
    }

    error = avcodec_send_packet(decoder, result.finished ? nullptr : packet);
    av_packet_free(&packet);
    if (error < 0 && !(result.finished && error == AVERROR_EOF)) {
        logErrorLine("Could not send packet for decoding (error '%s')\n",
                     audioErrorText(error).c_str());
        result.error = error;
        return result;
    }

    error = avcodec_receive_frame(decoder, frame);
    if (error == AVERROR(EAGAIN))
        return result;
    if (error == AVERROR_EOF) {
        result.finished = true;
        return result;
    }
    if (error < 0) {
        logErrorLine("Could not decode frame (error '%s')\n", audioErrorText(error).c_str());
        result.error = error;
        return result;
    }
    result.dataPresent = true;
    return result;
}

} // namespace pixpipe
