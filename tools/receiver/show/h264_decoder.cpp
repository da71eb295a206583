#include "show/h264_decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/error.h>
#include <libswscale/swscale.h>
}

namespace receiver {

namespace {

// Pictures larger than this are taken for a broken stream (4K is 8.3 Mpx).
constexpr int64_t kLargestPicturePixels = 4096LL * 4096;

std::string avError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

} // namespace

H264Decoder::H264Decoder() {
    const AVCodec *codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    if (!codec) {
        m_error = "no H.264 decoder in libavcodec";
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
    // Slice threads only: frame threads would hold pictures back.
    m_decoder->thread_type = FF_THREAD_SLICE;
    m_decoder->flags |= AV_CODEC_FLAG_LOW_DELAY;
    int result = avcodec_open2(m_decoder, codec, nullptr);
    if (result < 0) {
        m_error = "cannot open the H.264 decoder: " + avError(result);
        avcodec_free_context(&m_decoder);
    }
}

H264Decoder::~H264Decoder() {
    sws_freeContext(m_converter);
    av_packet_free(&m_packet);
    av_frame_free(&m_frame);
    avcodec_free_context(&m_decoder);
}

void H264Decoder::restart() {
    if (m_decoder)
        avcodec_flush_buffers(m_decoder);
}

std::optional<QImage> H264Decoder::decode(const uint8_t *data, size_t size) {
    m_error.clear();
    if (!m_decoder || size == 0 || size > INT32_MAX)
        return std::nullopt;
    // The packet references the caller's bytes; libavcodec copies what it
    // keeps because the packet is not reference counted.
    m_packet->data = const_cast<uint8_t *>(data);
    m_packet->size = static_cast<int>(size);
    int result = avcodec_send_packet(m_decoder, m_packet);
    av_packet_unref(m_packet);
    if (result < 0) {
        m_error = "broken H.264 packet: " + avError(result);
        return std::nullopt;
    }
    std::optional<QImage> newest;
    while ((result = avcodec_receive_frame(m_decoder, m_frame)) >= 0) {
        newest = toImage(m_frame);
        av_frame_unref(m_frame);
    }
    if (result != AVERROR(EAGAIN) && result != AVERROR_EOF)
        m_error = "H.264 decoding failed: " + avError(result);
    return newest;
}

std::optional<QImage> H264Decoder::toImage(const AVFrame *frame) {
    if (frame->width <= 0 || frame->height <= 0 ||
        static_cast<int64_t>(frame->width) * frame->height > kLargestPicturePixels) {
        m_error = "picture size " + std::to_string(frame->width) + "x" +
                  std::to_string(frame->height) + " out of range";
        return std::nullopt;
    }
    m_converter = sws_getCachedContext(
        m_converter, frame->width, frame->height, static_cast<AVPixelFormat>(frame->format),
        frame->width, frame->height, AV_PIX_FMT_RGB32, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!m_converter) {
        m_error = "no conversion from the decoded pixel format";
        return std::nullopt;
    }
    QImage image(frame->width, frame->height, QImage::Format_RGB32);
    if (image.isNull()) {
        m_error = "out of memory for a picture";
        return std::nullopt;
    }
    uint8_t *planes[4] = {image.bits(), nullptr, nullptr, nullptr};
    int strides[4] = {static_cast<int>(image.bytesPerLine()), 0, 0, 0};
    sws_scale(m_converter, frame->data, frame->linesize, 0, frame->height, planes, strides);
    return image;
}

bool startsAfreshAt(const uint8_t *data, size_t size) {
    constexpr uint8_t kIdrSlice = 5;
    for (size_t i = 0; i + 3 < size; ++i) {
        if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1 &&
            (data[i + 3] & 0x1f) == kIdrSlice)
            return true;
    }
    return false;
}

} // namespace receiver
