#include "video/column_scalers.h"

#include "video/changed_bands.h"
#include "video/scaler_context.h"

#include <algorithm>
#include <numeric>

namespace pixpipe {

namespace {

// Contexts kept for the windows last used: a video in a window keeps using
// one, a pointer moving beside it another.
constexpr size_t kCachedContexts = 4;
// Output columns an output pixel's filter reaches beyond the captured
// columns below it, on either side, when shrinking: the bicubic taps of the
// luma and of the half-width chroma, with room for rounding. Enlarging
// widens it by the scale.
constexpr int kReachColumns = 12;
// Output columns next to a window's own edges where its context, which
// takes them for the picture's edges, filters differently.
constexpr int kEdgeColumns = 16;

int64_t roundDown(int64_t value, int64_t step) {
    return value / step * step;
}

int64_t roundUp(int64_t value, int64_t step) {
    return (value + step - 1) / step * step;
}

// The grid on which output and captured columns meet exactly, so that a
// context for a part sees the same filter positions as the whole one: the
// scale must be exact in the scaler's 16-bit fraction, output starts must
// map to even captured columns (the scaler pairs captured pixels for the
// chroma), and starts stay on multiples of 16 output columns, those of the
// scaler's dither and vector code. 0 when there is no such grid.
int columnStep(int sourceWidth, int width, int format) {
    if (packedPixelBytes(format) == 0 || sourceWidth % 2 != 0 || width % 2 != 0 ||
        (static_cast<int64_t>(sourceWidth) << 16) % width != 0)
        return 0;
    const int outputPerSource = width / std::gcd(sourceWidth, width);
    const int step = std::lcm(16, 2 * outputPerSource);
    return step * 8 <= width ? step : 0;
}

} // namespace

ColumnScalers::ColumnScalers(int sourceWidth, int sourceHeight, int format, int width, int height,
                             int threads)
    : m_sourceWidth(sourceWidth), m_sourceHeight(sourceHeight), m_format(format), m_width(width),
      m_height(height), m_threads(threads), m_step(columnStep(sourceWidth, width, format)) {}

ColumnScalers::~ColumnScalers() {
    for (Cached &cached : m_cache)
        sws_freeContext(cached.context);
}

bool ColumnScalers::outputColumnsFor(int changedFirst, int changedEnd,
                                     OutputColumns &columns) const {
    if (m_step == 0 || changedEnd <= changedFirst)
        return false;
    const int64_t reach = kReachColumns * ((m_width + m_sourceWidth - 1) / m_sourceWidth);
    columns.exactFirst = std::max<int64_t>(
        0, roundDown(int64_t{changedFirst} * m_width / m_sourceWidth - reach, m_step));
    columns.exactEnd = std::min<int64_t>(
        m_width,
        roundUp((int64_t{changedEnd} * m_width + m_sourceWidth - 1) / m_sourceWidth + reach,
                m_step));
    const int64_t edge = roundUp(kEdgeColumns, m_step);
    columns.first = std::max<int64_t>(0, columns.exactFirst - edge);
    columns.end = std::min<int64_t>(m_width, columns.exactEnd + edge);
    return (columns.end - columns.first) * 3 <= int64_t{m_width} * 2;
}

bool ColumnScalers::convertsWholeWidth(int changedFirst, int changedEnd) const {
    OutputColumns columns;
    return changedEnd > changedFirst && !outputColumnsFor(changedFirst, changedEnd, columns);
}

bool ColumnScalers::windowFor(int changedFirst, int changedEnd, ColumnWindow &window) {
    OutputColumns columns;
    if (!outputColumnsFor(changedFirst, changedEnd, columns))
        return false;
    const int outputWidth = static_cast<int>(columns.end - columns.first);
    const int sourceFirst = static_cast<int>(columns.first * m_sourceWidth / m_width);
    const int sourceWidth = static_cast<int>(int64_t{outputWidth} * m_sourceWidth / m_width);
    SwsContext *context = contextFor(sourceFirst, sourceWidth, outputWidth);
    if (!context)
        return false;
    window.context = context;
    window.sourceFirst = sourceFirst;
    window.sourceWidth = sourceWidth;
    window.outputFirst = static_cast<int>(columns.first);
    window.outputWidth = outputWidth;
    window.exactFirst = static_cast<int>(columns.exactFirst);
    window.exactEnd = static_cast<int>(columns.exactEnd);
    return true;
}

SwsContext *ColumnScalers::contextFor(int sourceFirst, int sourceWidth, int outputWidth) {
    ++m_uses;
    for (Cached &cached : m_cache) {
        if (cached.sourceFirst == sourceFirst && cached.sourceWidth == sourceWidth) {
            cached.lastUse = m_uses;
            return cached.context;
        }
    }
    SwsContext *context =
        newBicubicScaler(sourceWidth, m_sourceHeight, m_format, outputWidth, m_height, m_threads);
    if (!context)
        return nullptr;
    if (m_cache.size() == kCachedContexts) {
        auto oldest =
            std::min_element(m_cache.begin(), m_cache.end(), [](const Cached &a, const Cached &b) {
                return a.lastUse < b.lastUse;
            });
        sws_freeContext(oldest->context);
        m_cache.erase(oldest);
    }
    m_cache.push_back({sourceFirst, sourceWidth, context, m_uses});
    return context;
}

} // namespace pixpipe
