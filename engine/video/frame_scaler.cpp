#include "video/frame_scaler.h"

#include "lifecycle/engine_log.h"
#include "video/band_converter.h"
#include "video/changed_bands.h"
#include "video/conversion_counts.h"

extern "C" {
#include <libavutil/opt.h>
}

#include <thread>

namespace pixpipe {

namespace {

// Rows of the converted picture per band: small enough that a moving window
// costs little more than its own rows, large enough that the filter's reach
// above and below a band stays a small part of what is compared.
constexpr int kBandRows = 16;

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
    forgetLast();
    sws_freeContext(m_context);
}

void FrameScaler::forgetLast() {
    av_frame_free(&m_lastPicture);
    av_frame_free(&m_lastOutput);
}

bool FrameScaler::prepareFor(const AVFrame *picture) {
    // The context follows the source if the captured size or format ever
    // changes; otherwise it is the same context every time.
    if (m_context && picture->width == m_sourceWidth && picture->height == m_sourceHeight &&
        picture->format == m_sourceFormat)
        return true;
    forgetLast();
    sws_freeContext(m_context);
    m_context = newScaler(picture, m_width, m_height);
    if (m_context) {
        // Bands start where the scaler can begin an output slice.
        m_sliceAlignment = static_cast<int>(sws_receive_slice_alignment(m_context));
        m_bandRows = (kBandRows + m_sliceAlignment - 1) / m_sliceAlignment * m_sliceAlignment;
    }
    m_sourceWidth = picture->width;
    m_sourceHeight = picture->height;
    m_sourceFormat = picture->format;
    return m_context != nullptr;
}

int FrameScaler::convertInto(AVFrame *frame, const AVFrame *picture) {
    if (m_lastPicture && m_lastOutput) {
        const ChangedBands bands = findChangedBands(m_lastPicture, picture, m_height, m_bandRows);
        // The scaler takes a slice that ends at the bottom only when its
        // height is aligned too, which an odd height cannot be.
        const bool bottomConvertible = m_height % m_sliceAlignment == 0 || bands.runs.empty() ||
                                       bands.runs.back().first + bands.runs.back().count < m_height;
        if (bands.changed * 3 <= bands.bands * 2 && bottomConvertible) {
            countConversion(bands.bands, bands.changed);
            return convertBands(m_context, picture, m_lastOutput, frame, bands.runs);
        }
    }
    const int bands = (m_height + m_bandRows - 1) / m_bandRows;
    countConversion(bands, bands);
    // The frame interface is the one that runs the slices on the threads.
    return sws_scale_frame(m_context, frame, picture);
}

AVFrame *FrameScaler::convert(const AVFrame *picture) {
    AVFrame *frame = prepareFor(picture) ? m_pool.newFrame() : nullptr;
    int ret = frame ? 0 : AVERROR(ENOMEM);
    if (ret >= 0)
        ret = convertInto(frame, picture);
    if (ret >= 0) {
        // References, not copies: the capture thread keeps the same two.
        forgetLast();
        m_lastPicture = av_frame_clone(picture);
        m_lastOutput = av_frame_clone(frame);
    }
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
