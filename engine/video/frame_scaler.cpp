#include "video/frame_scaler.h"

#include "lifecycle/engine_log.h"

namespace pixpipe {

FrameScaler::FrameScaler(int width, int height) : m_width(width), m_height(height) {}

FrameScaler::~FrameScaler() {
    sws_freeContext(m_context);
}

AVFrame *FrameScaler::convert(const AVFrame *picture) {
    // The cached context follows the source if the captured size or format
    // ever changes; otherwise it is the same context every time.
    m_context = sws_getCachedContext(m_context, picture->width, picture->height,
                                     static_cast<AVPixelFormat>(picture->format), m_width, m_height,
                                     AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr);
    AVFrame *frame = av_frame_alloc();
    int ret = AVERROR(ENOMEM);
    if (m_context && frame) {
        frame->format = AV_PIX_FMT_YUV420P;
        frame->width = m_width;
        frame->height = m_height;
        ret = av_frame_get_buffer(frame, 0);
    }
    if (ret >= 0)
        ret = sws_scale(m_context, picture->data, picture->linesize, 0, picture->height,
                        frame->data, frame->linesize);
    if (ret < 0) {
        // Logged once: a broken conversion would otherwise log every frame.
        if (!m_failureLogged)
            logLine("Could not convert the captured picture. error = %d\n", ret);
        m_failureLogged = true;
        av_frame_free(&frame);
        return nullptr;
    }
    return frame;
}

} // namespace pixpipe
