#include "video/frame_scaler.h"

#include "lifecycle/engine_log.h"

extern "C" {
#include <libavutil/opt.h>
}

#include <thread>

namespace pixpipe {

namespace {

// Scaling a full screen is the heaviest step of the capture thread; the
// scaler cuts the picture into slices and converts them on this many threads.
int scalerThreads() {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores > 0 ? static_cast<int>(cores) : 1;
}

SwsContext *newScaler(const AVFrame *picture, int width, int height) {
    SwsContext *context = sws_alloc_context();
    if (!context)
        return nullptr;
    av_opt_set_int(context, "srcw", picture->width, 0);
    av_opt_set_int(context, "srch", picture->height, 0);
    av_opt_set_int(context, "src_format", picture->format, 0);
    av_opt_set_int(context, "dstw", width, 0);
    av_opt_set_int(context, "dsth", height, 0);
    av_opt_set_int(context, "dst_format", AV_PIX_FMT_YUV420P, 0);
    av_opt_set_int(context, "sws_flags", SWS_BICUBIC, 0);
    av_opt_set_int(context, "threads", scalerThreads(), 0);
    if (sws_init_context(context, nullptr, nullptr) < 0) {
        sws_freeContext(context);
        return nullptr;
    }
    return context;
}

} // namespace

FrameScaler::FrameScaler(int width, int height)
    : m_width(width), m_height(height), m_pool(width, height) {}

FrameScaler::~FrameScaler() {
    sws_freeContext(m_context);
}

bool FrameScaler::prepareFor(const AVFrame *picture) {
    // The context follows the source if the captured size or format ever
    // changes; otherwise it is the same context every time.
    if (m_context && picture->width == m_sourceWidth && picture->height == m_sourceHeight &&
        picture->format == m_sourceFormat)
        return true;
    sws_freeContext(m_context);
    m_context = newScaler(picture, m_width, m_height);
    m_sourceWidth = picture->width;
    m_sourceHeight = picture->height;
    m_sourceFormat = picture->format;
    return m_context != nullptr;
}

AVFrame *FrameScaler::convert(const AVFrame *picture) {
    AVFrame *frame = prepareFor(picture) ? m_pool.newFrame() : nullptr;
    int ret = frame ? 0 : AVERROR(ENOMEM);
    // The frame interface is the one that runs the slices on the threads.
    if (ret >= 0)
        ret = sws_scale_frame(m_context, frame, picture);
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
