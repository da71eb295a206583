#include "ui/progressbar/qroundprogressbar.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

namespace {

// Space between the label and the ring, in pixels.
const double labelMargin = 2.0;

// Where the glyphs of text drawn centred in area lie.
QRectF labelInk(const QFontMetricsF &metrics, const QRectF &area, const QString &text) {
    const QRectF line = metrics.boundingRect(area, Qt::AlignCenter, text);
    return metrics.tightBoundingRect(text).translated(line.left(), line.top() + metrics.ascent());
}

bool insideCircle(const QRectF &rect, const QPointF &centre, double radius) {
    for (const QPointF &corner :
         {rect.topLeft(), rect.topRight(), rect.bottomLeft(), rect.bottomRight()}) {
        const QPointF offset = corner - centre;
        if (offset.x() * offset.x() + offset.y() * offset.y() > radius * radius) {
            return false;
        }
    }
    return true;
}

} // namespace

QRoundProgressBar::QRoundProgressBar(QWidget *parent) : QWidget(parent) {}

void QRoundProgressBar::setRange(double max, double min) {
    m_min = qMin(max, min);
    m_max = qMax(max, min);
    m_value = qBound(m_min, m_value, m_max);
    update();
}

void QRoundProgressBar::setMinimun(double min) {
    setRange(min, m_max);
}

void QRoundProgressBar::setMaximun(double max) {
    setRange(m_min, max);
}

void QRoundProgressBar::setValue(double val) {
    if (val == m_value) {
        return;
    }
    m_value = qBound(m_min, val, m_max);
    update();
}

void QRoundProgressBar::setValue(int val) {
    setValue(double(val));
}

void QRoundProgressBar::setStartAngle(double angle) {
    changeAndRepaint(m_startAngle, angle);
}

void QRoundProgressBar::setShape(int shape) {
    changeAndRepaint(m_shape, shape);
}

void QRoundProgressBar::setRimWidth(double width) {
    changeAndRepaint(m_rimWidth, width);
}

void QRoundProgressBar::setArcWidth(double width) {
    changeAndRepaint(m_arcWidth, width);
}

void QRoundProgressBar::setLabelPattern(const QString &pattern) {
    changeAndRepaint(m_labelPattern, pattern);
}

void QRoundProgressBar::clearLabelPattern() {
    m_labelPattern = QString();
    update();
}

void QRoundProgressBar::setPrecision(int precision) {
    if (precision >= 0) {
        changeAndRepaint(m_precision, precision);
    }
}

QSize QRoundProgressBar::minimumSizeHint() const {
    return QSize(32, 32);
}

bool QRoundProgressBar::hasHeightForWidth() const {
    return true;
}

int QRoundProgressBar::heightForWidth(int width) const {
    return width;
}

double QRoundProgressBar::fraction(double value) const {
    const double span = m_max - m_min;
    return span > 0 ? (value - m_min) / span : 0.0;
}

void QRoundProgressBar::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    const int outerSize = qMin(width(), height());
    const QRectF baseRect(1, 1, outerSize - 2, outerSize - 2);

    paintFrame(painter, baseRect);
    paintRim(painter, baseRect);

    const double arcLength = 360.0 * fraction(m_value);
    paintProgress(painter, baseRect, m_value, arcLength);

    QRectF innerRect;
    double innerRadius = 0;
    innerArea(baseRect, outerSize, innerRect, innerRadius);

    paintCenter(painter, innerRect);
    paintLabel(painter, innerRect, innerRadius, m_value);
}

void QRoundProgressBar::paintFrame(QPainter &painter, const QRectF &baseRect) {
    painter.fillRect(baseRect, palette().brush(QPalette::Window));
}

void QRoundProgressBar::paintRim(QPainter &painter, const QRectF &baseRect) {
    if (m_shape == ShapeRing || m_shape == ShapeSector) {
        painter.setPen(QPen(palette().color(QPalette::WindowText), m_rimWidth, Qt::SolidLine,
                            Qt::SquareCap, Qt::BevelJoin));
        painter.setBrush(palette().brush(QPalette::Base));
        painter.drawEllipse(baseRect);
    } else if (m_shape == ShapeArc) {
        const double half = m_rimWidth / 2;
        painter.setPen(QPen(palette().color(QPalette::Base), m_rimWidth));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(baseRect.adjusted(half, half, -half, -half));
    }
}

void QRoundProgressBar::paintProgress(QPainter &painter, const QRectF &baseRect, double,
                                      double arcLength) {
    if (m_shape == ShapeArc) {
        const double half = m_rimWidth / 2;
        painter.setPen(QPen(palette().color(QPalette::Highlight), m_arcWidth));
        painter.setBrush(Qt::NoBrush);
        painter.drawArc(baseRect.adjusted(half, half, -half, -half), int(m_startAngle * 16),
                        int(-arcLength * 16));
        return;
    }
    QPainterPath sector;
    sector.setFillRule(Qt::WindingFill);
    sector.moveTo(baseRect.center());
    sector.arcTo(baseRect, m_startAngle, -arcLength);
    sector.lineTo(baseRect.center());
    painter.setBrush(palette().brush(QPalette::Highlight));
    painter.setPen(QPen(palette().color(QPalette::WindowText), m_arcWidth));
    painter.drawPath(sector);
}

void QRoundProgressBar::innerArea(const QRectF &, double outerSize, QRectF &innerRect,
                                  double &innerRadius) {
    innerRadius = m_shape == ShapeArc ? outerSize - m_rimWidth : outerSize * 0.75;
    const double offset = (outerSize - innerRadius) / 2;
    innerRect = QRectF(offset, offset, innerRadius, innerRadius);
}

void QRoundProgressBar::paintCenter(QPainter &painter, const QRectF &innerRect) {
    if (m_shape == ShapeRing) {
        painter.setBrush(palette().brush(QPalette::AlternateBase));
        painter.drawEllipse(innerRect);
    }
}

void QRoundProgressBar::paintLabel(QPainter &painter, const QRectF &innerRect, double innerRadius,
                                   double value) {
    if (m_labelPattern.isEmpty()) {
        return;
    }
    const QString text = labelFor(value);
    QFont labelFont = font();
    // QFont rejects sizes below one pixel, which a very small widget would give.
    int pixelSize = qMax(1, int(qMax(0.4 - 0.1 * m_precision, 0.05) * innerRadius));
    labelFont.setPixelSize(pixelSize);
    // A label too wide for the ring ("100%" in a small one) gets smaller until
    // it keeps a margin to the ring's inner edge.
    const double room = innerRect.width() / 2 - qMax(m_rimWidth, m_arcWidth) - labelMargin;
    while (pixelSize > 1 && !insideCircle(labelInk(QFontMetricsF(labelFont, this), innerRect, text),
                                          innerRect.center(), room)) {
        labelFont.setPixelSize(--pixelSize);
    }
    painter.setFont(labelFont);
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(innerRect, Qt::AlignCenter, text);
}

QString QRoundProgressBar::labelFor(double value) const {
    QString label = m_labelPattern;
    label.replace(QLatin1String("%v"), QString::number(value, 'f', m_precision));
    label.replace(QLatin1String("%p"), QString::number(fraction(value) * 100, 'f', m_precision));
    label.replace(QLatin1String("%m"), QString::number(m_max - m_min + 1, 'f', m_precision));
    return label;
}
