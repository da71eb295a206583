#include "video/changed_bands.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <cstring>

namespace pixpipe {

namespace {

// Captured rows above and below a band's own that can still reach it. The
// bicubic filter spans two rows of the coarser grid on either side; the
// converted chroma has half the rows, so its grid is the coarser one when
// shrinking. One row more for rounding, and counted in captured chroma rows
// when the capture subsamples them.
int filterMargin(int sourceHeight, int outputHeight, int sourceChromaShift) {
    const int lumaStep = std::max(1, (sourceHeight + outputHeight - 1) / outputHeight);
    const int chromaRows = std::max(1, outputHeight / 2);
    const int chromaStep = std::max(1, (sourceHeight + chromaRows - 1) / chromaRows);
    return (2 * std::max(lumaStep, chromaStep) + 1) << sourceChromaShift;
}

ChangedBands everyBandChanged(int outputHeight, int bandHeight) {
    ChangedBands result;
    result.bands = (outputHeight + bandHeight - 1) / bandHeight;
    result.changed = result.bands;
    result.runs.push_back({0, outputHeight});
    return result;
}

// Compares captured rows, each at most once, remembering the answers.
class RowCompare {
public:
    RowCompare(const AVFrame *a, const AVFrame *b, const AVPixFmtDescriptor *descriptor)
        : m_a(a), m_b(b), m_descriptor(descriptor),
          m_planes(av_pix_fmt_count_planes(static_cast<AVPixelFormat>(a->format))),
          m_known(static_cast<size_t>(a->height), Unknown) {}

    // Whether any row in [first, end) differs.
    bool anyDiffers(int first, int end) {
        for (int row = first; row < end; ++row) {
            if (m_known[row] == Unknown)
                m_known[row] = rowDiffers(row) ? Differs : Same;
            if (m_known[row] == Differs)
                return true;
        }
        return false;
    }

private:
    enum State : signed char { Unknown, Same, Differs };

    bool rowDiffers(int row) const {
        const auto format = static_cast<AVPixelFormat>(m_a->format);
        for (int plane = 0; plane < m_planes; ++plane) {
            const bool chroma = plane == 1 || plane == 2;
            const int planeRow = chroma ? row >> m_descriptor->log2_chroma_h : row;
            const int rowBytes = av_image_get_linesize(format, m_a->width, plane);
            if (std::memcmp(
                    m_a->data[plane] + static_cast<ptrdiff_t>(planeRow) * m_a->linesize[plane],
                    m_b->data[plane] + static_cast<ptrdiff_t>(planeRow) * m_b->linesize[plane],
                    static_cast<size_t>(rowBytes)) != 0)
                return true;
        }
        return false;
    }

    const AVFrame *m_a;
    const AVFrame *m_b;
    const AVPixFmtDescriptor *m_descriptor;
    int m_planes;
    std::vector<State> m_known;
};

bool comparable(const AVFrame *last, const AVFrame *picture, const AVPixFmtDescriptor *descriptor) {
    if (!last || last->width != picture->width || last->height != picture->height ||
        last->format != picture->format || picture->height <= 0)
        return false;
    if (!descriptor || (descriptor->flags & AV_PIX_FMT_FLAG_PAL))
        return false;
    const auto format = static_cast<AVPixelFormat>(picture->format);
    const int planes = av_pix_fmt_count_planes(format);
    if (planes <= 0)
        return false;
    for (int plane = 0; plane < planes; ++plane) {
        if (!last->data[plane] || !picture->data[plane] ||
            av_image_get_linesize(format, picture->width, plane) <= 0)
            return false;
    }
    return true;
}

} // namespace

ChangedBands findChangedBands(const AVFrame *last, const AVFrame *picture, int outputHeight,
                              int bandHeight) {
    const AVPixFmtDescriptor *descriptor =
        av_pix_fmt_desc_get(static_cast<AVPixelFormat>(picture->format));
    if (!comparable(last, picture, descriptor))
        return everyBandChanged(outputHeight, bandHeight);

    const int64_t sourceHeight = picture->height;
    const int margin = filterMargin(picture->height, outputHeight, descriptor->log2_chroma_h);
    RowCompare rows(last, picture, descriptor);
    ChangedBands result;
    for (int first = 0; first < outputHeight; first += bandHeight) {
        const int end = std::min(first + bandHeight, outputHeight);
        ++result.bands;
        const int64_t sourceFirst = first * sourceHeight / outputHeight - margin;
        const int64_t sourceEnd = (end * sourceHeight + outputHeight - 1) / outputHeight + margin;
        if (!rows.anyDiffers(static_cast<int>(std::max<int64_t>(sourceFirst, 0)),
                             static_cast<int>(std::min(sourceEnd, sourceHeight))))
            continue;
        ++result.changed;
        if (!result.runs.empty() && result.runs.back().first + result.runs.back().count == first)
            result.runs.back().count += end - first;
        else
            result.runs.push_back({first, end - first});
    }
    return result;
}

} // namespace pixpipe
