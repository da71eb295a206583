#include "show/h264_decoder.h"

extern "C" {
#include <libswscale/swscale.h>
}

namespace receiver {

namespace {

// Pictures larger than this are taken for a broken stream (4K is 8.3 Mpx).
constexpr int64_t kLargestPicturePixels = 4096LL * 4096;

void lowLatency(AVCodecContext *context) {
    // Slice threads only: frame threads would hold pictures back.
    context->thread_type = FF_THREAD_SLICE;
    context->flags |= AV_CODEC_FLAG_LOW_DELAY;
}

} // namespace

H264Decoder::H264Decoder() : StreamDecoder(AV_CODEC_ID_H264, "H.264", lowLatency) {}

H264Decoder::~H264Decoder() {
    sws_freeContext(m_converter);
}

std::optional<QImage> H264Decoder::decode(const uint8_t *data, size_t size) {
    m_error.clear();
    std::optional<QImage> newest;
    m_decoder.decode(
        data, size,
        [&](AVFrame *frame) {
            if (std::optional<QImage> picture = toImage(frame))
                newest = std::move(picture);
            return true;
        },
        m_error);
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
