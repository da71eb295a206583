#include "video/picture_pool.h"

extern "C" {
#include <libavutil/imgutils.h>
}

namespace pixpipe {

namespace {

constexpr AVPixelFormat kFormat = AV_PIX_FMT_YUV420P;
// Row alignment that the scaler's and the encoder's vector code rely on.
constexpr int kAlign = 64;

} // namespace

PicturePool::PicturePool(int width, int height)
    : m_width(width), m_height(height),
      m_bufferSize(av_image_get_buffer_size(kFormat, width, height, kAlign)) {
    if (m_bufferSize > 0)
        m_pool = av_buffer_pool_init(static_cast<size_t>(m_bufferSize), av_buffer_alloc);
}

PicturePool::~PicturePool() {
    av_buffer_pool_uninit(&m_pool);
}

AVFrame *PicturePool::newFrame() {
    AVFrame *frame = m_pool ? av_frame_alloc() : nullptr;
    if (!frame)
        return nullptr;
    frame->format = kFormat;
    frame->width = m_width;
    frame->height = m_height;
    frame->buf[0] = av_buffer_pool_get(m_pool);
    if (!frame->buf[0] || av_image_fill_arrays(frame->data, frame->linesize, frame->buf[0]->data,
                                               kFormat, m_width, m_height, kAlign) < 0) {
        av_frame_free(&frame);
        return nullptr;
    }
    return frame;
}

} // namespace pixpipe
