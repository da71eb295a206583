#include "video/video_decoder.h"

#include "lifecycle/engine_log.h"

namespace pixpipe {

AVCodecContext *openVideoDecoder(const AVStream *stream) {
    const AVCodec *codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec) {
        logLine("GetCodecContext Codec not found.\n");
        return nullptr;
    }
    AVCodecContext *decoder = avcodec_alloc_context3(codec);
    if (!decoder) {
        logLine("Could not open codec. r = %d\n", AVERROR(ENOMEM));
        return nullptr;
    }
    if (avcodec_parameters_to_context(decoder, stream->codecpar) < 0) {
        avcodec_free_context(&decoder);
        return nullptr;
    }
    const int ret = avcodec_open2(decoder, codec, nullptr);
    if (ret < 0) {
        logLine("Could not open codec. r = %d\n", ret);
        avcodec_free_context(&decoder);
        return nullptr;
    }
    if (avcodec_parameters_to_context(decoder, stream->codecpar) < 0) {
        logLine("Could not open codec.\n");
        avcodec_free_context(&decoder);
        return nullptr;
    }
    return decoder;
}

bool decodeNewestPicture(AVCodecContext *decoder, const AVPacket *packet, AVFrame *picture) {
    // A refused packet is lost like a failed read; the queued frame then
    // repeats the last picture.
    if (avcodec_send_packet(decoder, packet) < 0)
        return false;
    // avcodec_receive_frame empties its frame before it can fail, so newer
    // pictures arrive in a scratch frame and replace the kept one.
    AVFrame *next = av_frame_alloc();
    if (!next)
        return false;
    bool delivered = false;
    while (avcodec_receive_frame(decoder, next) == 0) {
        av_frame_unref(picture);
        av_frame_move_ref(picture, next);
        delivered = true;
    }
    av_frame_free(&next);
    return delivered;
}

} // namespace pixpipe
