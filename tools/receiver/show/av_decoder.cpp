#include "show/av_decoder.h"

extern "C" {
#include <libavutil/error.h>
}

#include <climits>

namespace receiver {

std::string avErrorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

AvDecoder::AvDecoder(AVCodecID codecId, const char *name,
                     const std::function<void(AVCodecContext *)> &configure)
    : m_name(name) {
    const AVCodec *codec = avcodec_find_decoder(codecId);
    if (!codec) {
        m_openError = std::string("no ") + name + " decoder in libavcodec";
        return;
    }
    m_context = avcodec_alloc_context3(codec);
    m_frame = av_frame_alloc();
    m_packet = av_packet_alloc();
    if (!m_context || !m_frame || !m_packet) {
        m_openError = "out of memory";
        avcodec_free_context(&m_context);
        return;
    }
    if (configure)
        configure(m_context);
    int result = avcodec_open2(m_context, codec, nullptr);
    if (result < 0) {
        m_openError = std::string("cannot open the ") + name + " decoder: " + avErrorText(result);
        avcodec_free_context(&m_context);
    }
}

AvDecoder::~AvDecoder() {
    av_packet_free(&m_packet);
    av_frame_free(&m_frame);
    avcodec_free_context(&m_context);
}

void AvDecoder::restart() {
    if (m_context)
        avcodec_flush_buffers(m_context);
}

bool AvDecoder::decode(const uint8_t *data, size_t size, const std::function<bool(AVFrame *)> &take,
                       std::string &error) {
    if (!m_context || size == 0 || size > INT_MAX)
        return false;
    // Not reference counted: libavcodec copies what it keeps.
    m_packet->data = const_cast<uint8_t *>(data);
    m_packet->size = static_cast<int>(size);
    int result = avcodec_send_packet(m_context, m_packet);
    av_packet_unref(m_packet);
    if (result < 0) {
        error = std::string("broken ") + m_name + " packet: " + avErrorText(result);
        return false;
    }
    while ((result = avcodec_receive_frame(m_context, m_frame)) >= 0) {
        bool more = take(m_frame);
        av_frame_unref(m_frame);
        if (!more)
            return false;
    }
    if (result != AVERROR(EAGAIN) && result != AVERROR_EOF) {
        error = std::string(m_name) + " decoding failed: " + avErrorText(result);
        return false;
    }
    return true;
}

} // namespace receiver
