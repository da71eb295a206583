#include "h264_inspection.h"

#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace pixpipe {

namespace {

void receivePictures(AVCodecContext *decoder, AVFrame *frame, std::vector<DecodedPicture> &out) {
    while (avcodec_receive_frame(decoder, frame) == 0) {
        out.push_back({frame->width, frame->height, frame->pict_type == AV_PICTURE_TYPE_I});
        av_frame_unref(frame);
    }
}

} // namespace

std::vector<DecodedPicture> decodeH264(const std::vector<std::vector<uint8_t>> &accessUnits) {
    std::vector<DecodedPicture> pictures;
    const AVCodec *codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    AVCodecContext *decoder = codec ? avcodec_alloc_context3(codec) : nullptr;
    if (!decoder)
        return pictures;
    // One thread: pictures come out in step with the access units.
    decoder->thread_count = 1;
    AVFrame *frame = av_frame_alloc();
    AVPacket *packet = av_packet_alloc();
    if (frame && packet && avcodec_open2(decoder, codec, nullptr) == 0) {
        for (const auto &unit : accessUnits) {
            if (unit.empty() || av_new_packet(packet, static_cast<int>(unit.size())) < 0)
                continue;
            std::memcpy(packet->data, unit.data(), unit.size());
            avcodec_send_packet(decoder, packet);
            av_packet_unref(packet);
            receivePictures(decoder, frame, pictures);
        }
        avcodec_send_packet(decoder, nullptr);
        receivePictures(decoder, frame, pictures);
    }
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&decoder);
    return pictures;
}

} // namespace pixpipe
