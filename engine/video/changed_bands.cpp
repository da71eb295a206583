#include "video/changed_bands.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <cstdint>
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

ChangedBands everyBandChanged(int outputHeight, int bandHeight, int sourceWidth) {
    ChangedBands result;
    result.bands = (outputHeight + bandHeight - 1) / bandHeight;
    result.changed = result.bands;
    result.runs.push_back({0, outputHeight});
    result.endColumn = sourceWidth;
    return result;
}

uint64_t wordAt(const uint8_t *bytes) {
    uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}

// The captured column of a byte in a row of pixels pixelBytes wide, and the
// column after the one that holds the byte before endByte.
int columnOf(size_t byte, int pixelBytes) {
    return static_cast<int>(byte / pixelBytes);
}

int columnAfter(size_t endByte, int pixelBytes) {
    return static_cast<int>((endByte + pixelBytes - 1) / pixelBytes);
}

// The first byte in which a and b differ; the bytes [0, n) must differ.
size_t firstDifferingByte(const uint8_t *a, const uint8_t *b, size_t n) {
    size_t first = 0;
    while (first + sizeof(uint64_t) <= n && wordAt(a + first) == wordAt(b + first))
        first += sizeof(uint64_t);
    while (a[first] == b[first])
        ++first;
    return first;
}

// One past the last byte in which a and b differ; the bytes [0, n) must differ.
size_t endOfDifferingBytes(const uint8_t *a, const uint8_t *b, size_t n) {
    size_t end = n;
    while (end >= sizeof(uint64_t) &&
           wordAt(a + end - sizeof(uint64_t)) == wordAt(b + end - sizeof(uint64_t)))
        end -= sizeof(uint64_t);
    while (a[end - 1] == b[end - 1])
        --end;
    return end;
}

// The bytes [first, end) of the rows compared so far in which they differ,
// widened by each row added. A row is compared in three parts: left of the
// span, the span, right of it, so that the rows of a change in a small part
// of the width cost little beyond the span's edges, and only bytes outside
// the span are searched one by one.
class DifferingSpan {
public:
    // Whether the n-byte rows a and b differ.
    bool add(const uint8_t *a, const uint8_t *b, size_t n) {
        if (m_first >= m_end) {
            if (std::memcmp(a, b, n) == 0)
                return false;
            m_first = firstDifferingByte(a, b, n);
            m_end = endOfDifferingBytes(a, b, n);
            return true;
        }
        const bool left = std::memcmp(a, b, m_first) != 0;
        const bool right = std::memcmp(a + m_end, b + m_end, n - m_end) != 0;
        if (left)
            m_first = firstDifferingByte(a, b, m_first);
        if (right)
            m_end += endOfDifferingBytes(a + m_end, b + m_end, n - m_end);
        return left || right || std::memcmp(a + m_first, b + m_first, m_end - m_first) != 0;
    }
    size_t first() const { return m_first; }
    size_t end() const { return m_end; }

private:
    size_t m_first = 0;
    size_t m_end = 0;
};

// Compares the captured rows: which rows differ, and the columns that hold
// the differences. Each row is compared once, or not at all when the columns
// are settled (see findChangedBands) and every band that reads it has
// changed already.
class RowCompare {
public:
    // lastBandStart[row]: where the reading of the last band, top down,
    // that starts at or above row starts; every band that reads row starts
    // there or above.
    RowCompare(const AVFrame *a, const AVFrame *b, const AVPixFmtDescriptor *descriptor,
               const std::vector<int> &lastBandStart, const WholeWidthSpan &wholeWidth)
        : m_differs(static_cast<size_t>(a->height), false) {
        const auto format = static_cast<AVPixelFormat>(a->format);
        const int planes = av_pix_fmt_count_planes(format);
        const int pixelBytes = packedPixelBytes(a->format);
        // Without whole pixels in a row, the whole width is reported anyway.
        bool settled = pixelBytes == 0;
        int lastDiffering = -1;
        DifferingSpan spans[4];
        for (int row = 0; row < a->height; ++row) {
            if (settled && lastDiffering >= lastBandStart[row])
                continue;
            for (int plane = 0; plane < planes; ++plane) {
                const bool chroma = plane == 1 || plane == 2;
                const int planeRow = chroma ? row >> descriptor->log2_chroma_h : row;
                m_differs[row] =
                    spans[plane].add(
                        a->data[plane] + static_cast<ptrdiff_t>(planeRow) * a->linesize[plane],
                        b->data[plane] + static_cast<ptrdiff_t>(planeRow) * b->linesize[plane],
                        static_cast<size_t>(av_image_get_linesize(format, a->width, plane))) ||
                    m_differs[row];
            }
            if (!m_differs[row])
                continue;
            lastDiffering = row;
            if (!settled && wholeWidth)
                settled = wholeWidth(columnOf(spans[0].first(), pixelBytes),
                                     columnAfter(spans[0].end(), pixelBytes));
        }
        if (lastDiffering < 0)
            return;
        if (settled) {
            m_endColumn = a->width;
        } else {
            m_firstColumn = columnOf(spans[0].first(), pixelBytes);
            m_endColumn = columnAfter(spans[0].end(), pixelBytes);
        }
    }

    // Whether any row in [first, end) differs.
    bool anyDiffers(int first, int end) const {
        return std::find(m_differs.begin() + first, m_differs.begin() + end, true) !=
               m_differs.begin() + end;
    }
    int firstColumn() const { return m_firstColumn; }
    int endColumn() const { return m_endColumn; }

private:
    std::vector<bool> m_differs;
    int m_firstColumn = 0;
    int m_endColumn = 0;
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

// The first captured row each band reads: its rows mapped to the captured
// picture, widened by the filter's reach.
int64_t bandSourceFirst(int first, int64_t sourceHeight, int outputHeight, int margin) {
    return std::max<int64_t>(first * sourceHeight / outputHeight - margin, 0);
}

int64_t bandSourceEnd(int end, int64_t sourceHeight, int outputHeight, int margin) {
    return std::min<int64_t>((end * sourceHeight + outputHeight - 1) / outputHeight + margin,
                             sourceHeight);
}

} // namespace

int packedPixelBytes(int format) {
    const AVPixFmtDescriptor *descriptor = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(format));
    if (!descriptor || av_pix_fmt_count_planes(static_cast<AVPixelFormat>(format)) != 1 ||
        (descriptor->flags &
         (AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_BITSTREAM | AV_PIX_FMT_FLAG_HWACCEL)) ||
        !(descriptor->flags & AV_PIX_FMT_FLAG_RGB))
        return 0;
    const int bits = av_get_padded_bits_per_pixel(descriptor);
    return bits % 8 == 0 ? bits / 8 : 0;
}

ChangedBands findChangedBands(const AVFrame *last, const AVFrame *picture, int outputHeight,
                              int bandHeight, const WholeWidthSpan &wholeWidth) {
    const AVPixFmtDescriptor *descriptor =
        av_pix_fmt_desc_get(static_cast<AVPixelFormat>(picture->format));
    if (!comparable(last, picture, descriptor))
        return everyBandChanged(outputHeight, bandHeight, picture->width);

    const int64_t sourceHeight = picture->height;
    const int margin = filterMargin(picture->height, outputHeight, descriptor->log2_chroma_h);
    // The bands' first rows only grow from band to band.
    std::vector<int> lastBandStart(static_cast<size_t>(sourceHeight), 0);
    for (int first = 0; first < outputHeight; first += bandHeight) {
        const auto start =
            static_cast<size_t>(bandSourceFirst(first, sourceHeight, outputHeight, margin));
        std::fill(lastBandStart.begin() +
                      static_cast<ptrdiff_t>(std::min(start, lastBandStart.size())),
                  lastBandStart.end(), static_cast<int>(start));
    }
    const RowCompare rows(last, picture, descriptor, lastBandStart, wholeWidth);
    ChangedBands result;
    result.firstColumn = rows.firstColumn();
    result.endColumn = rows.endColumn();
    for (int first = 0; first < outputHeight; first += bandHeight) {
        const int end = std::min(first + bandHeight, outputHeight);
        ++result.bands;
        if (!rows.anyDiffers(
                static_cast<int>(bandSourceFirst(first, sourceHeight, outputHeight, margin)),
                static_cast<int>(bandSourceEnd(end, sourceHeight, outputHeight, margin))))
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
