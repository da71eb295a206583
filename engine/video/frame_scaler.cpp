#include "video/frame_scaler.h"

#include "lifecycle/engine_log.h"
#include "video/band_converter.h"
#include "video/changed_bands.h"
#include "video/conversion_counts.h"
#include "video/scaler_context.h"

namespace pixpipe {

namespace {

// Rows of the converted picture per band: small enough that a moving window
// costs little more than its own rows, large enough that the filter's reach
// above and below a band stays a small part of what is compared.
constexpr int kBandRows = 16;

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
    // The contexts follow the source if the captured size or format ever
    // changes; otherwise they are the same contexts every time.
    if (m_context && picture->width == m_sourceWidth && picture->height == m_sourceHeight &&
        picture->format == m_sourceFormat)
        return true;
    forgetLast();
    sws_freeContext(m_context);
    m_context = newBicubicScaler(picture->width, picture->height, picture->format, m_width,
                                 m_height, scalerThreads());
    m_columns = std::make_unique<ColumnScalers>(picture->width, picture->height, picture->format,
                                                m_width, m_height, scalerThreads());
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

int FrameScaler::convertInto(AVFrame *frame, const AVFrame *picture, bool &unchanged) {
    if (m_lastPicture && m_lastOutput) {
        const ChangedBands bands = findChangedBands(
            m_lastPicture, picture, m_height, m_bandRows,
            [this](int first, int end) { return m_columns->convertsWholeWidth(first, end); });
        if (bands.changed == 0) {
            unchanged = true;
            return 0;
        }
        // The scaler takes a slice that ends at the bottom only when its
        // height is aligned too, which an odd height cannot be.
        const bool bottomConvertible = m_height % m_sliceAlignment == 0 ||
                                       bands.runs.back().first + bands.runs.back().count < m_height;
        ColumnWindow window;
        const bool inColumns = m_columns->windowFor(bands.firstColumn, bands.endColumn, window);
        const int columns = inColumns ? window.outputWidth : m_width;
        // Converting more than two thirds of the picture in parts costs more
        // than converting it whole.
        if (int64_t{bands.changed} * columns * 3 <= int64_t{bands.bands} * m_width * 2 &&
            bottomConvertible) {
            countConversion(bands.bands, bands.changed, m_width, columns);
            return inColumns ? convertBandColumns(window, picture, m_lastOutput, frame, bands.runs)
                             : convertBands(m_context, picture, m_lastOutput, frame, bands.runs);
        }
    }
    const int bands = (m_height + m_bandRows - 1) / m_bandRows;
    countConversion(bands, bands, m_width, m_width);
    // The frame interface is the one that runs the slices on the threads.
    return sws_scale_frame(m_context, frame, picture);
}

AVFrame *FrameScaler::convert(const AVFrame *picture) {
    AVFrame *frame = prepareFor(picture) ? m_pool.newFrame() : nullptr;
    int ret = frame ? 0 : AVERROR(ENOMEM);
    bool unchanged = false;
    if (ret >= 0)
        ret = convertInto(frame, picture, unchanged);
    if (ret >= 0 && unchanged) {
        av_frame_free(&frame);
        return repeatLast();
    }
    if (ret >= 0) {
        // References, not copies.
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

AVFrame *FrameScaler::repeatLast() const {
    return m_lastOutput ? av_frame_clone(m_lastOutput) : nullptr;
}

} // namespace pixpipe
