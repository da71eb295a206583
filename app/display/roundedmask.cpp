#include "app/display/roundedmask.h"

#include <QPainter>

QBitmap roundedMask(const QSize &size, qreal radius) {
    QBitmap mask(size);
    mask.fill(Qt::white);
    QPainter painter(&mask);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawRoundedRect(QRect(QPoint(0, 0), size), radius, radius, Qt::AbsoluteSize);
    return mask;
}
