#include "app/display/ratioutil.h"

#include <cmath>

namespace {
// Sides are whole pixels below 2^31, so products of two fit in 64 bits.
const float largestSide = 2147483520.0f;

bool validSide(float side) {
    return std::isfinite(side) && side >= 1.0f && side <= largestSide;
}
} // namespace

RatioUtil::RatioUtil(QObject *parent) : QObject(parent) {}

void RatioUtil::fitRatio(float screenWidth, float screenHeight, float receiverWidth,
                         float receiverHeight) {
    // A receiver (or screen) that reports no usable size gets no picture size;
    // the ratios would be undefined.
    if (!validSide(screenWidth) || !validSide(screenHeight) || !validSide(receiverWidth) ||
        !validSide(receiverHeight)) {
        fitWidth = 0;
        fitHeight = 0;
        return;
    }
    const qint64 sw = static_cast<qint64>(screenWidth);
    const qint64 sh = static_cast<qint64>(screenHeight);
    const qint64 rw = static_cast<qint64>(receiverWidth);
    const qint64 rh = static_cast<qint64>(receiverHeight);

    // Multiplication before division keeps the quotient exact: equal aspect
    // ratios give exactly the receiver's size.
    bool heightLimits;
    if (rw >= sw && rh < sh) {
        heightLimits = true;
    } else if (rw < sw && rh >= sh) {
        heightLimits = false;
    } else {
        heightLimits = rh * sw <= rw * sh; // rh / sh <= rw / sw; ties go to the height
    }

    qint64 width;
    qint64 height;
    if (heightLimits) {
        height = rh;
        width = sw * rh / sh;
    } else {
        width = rw;
        height = sh * rw / sw;
    }
    fitWidth = static_cast<int>(width - width % 2);
    fitHeight = static_cast<int>(height - height % 2);
}
