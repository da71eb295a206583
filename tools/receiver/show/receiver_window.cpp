#include "show/receiver_window.h"

#include <QKeyEvent>
#include <QPainter>

namespace receiver {

namespace {

const QColor kCodeBackground(16, 26, 46);
const QColor kCodeLabelColor(170, 186, 214);
const QColor kCodeColor(Qt::white);

} // namespace

QRect fittedRect(const QSize &pictureSize, const QRect &area) {
    if (pictureSize.isEmpty() || area.isEmpty())
        return {};
    QSize size = pictureSize.scaled(area.size(), Qt::KeepAspectRatio);
    QRect rect(QPoint(0, 0), size);
    rect.moveCenter(area.center());
    return rect;
}

ReceiverWindow::ReceiverWindow(const QString &castCode) : m_castCode(castCode) {
    setWindowTitle(castCode);
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(960, 540);
    setMinimumSize(320, 180);
}

void ReceiverWindow::showCode() {
    m_picture = QImage();
    update();
}

void ReceiverWindow::showPicture(const QImage &picture) {
    m_picture = picture;
    update();
}

void ReceiverWindow::toggleFullScreen() {
    setWindowState(windowState() ^ Qt::WindowFullScreen);
}

void ReceiverWindow::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    if (m_picture.isNull()) {
        paintCode(painter);
        return;
    }
    QRect target = fittedRect(m_picture.size(), rect());
    // Black bars around the picture, never behind it: it is opaque.
    QRegion bars = QRegion(rect()).subtracted(QRegion(target));
    for (const QRect &bar : bars)
        painter.fillRect(bar, Qt::black);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, target.size() != m_picture.size());
    painter.drawImage(target, m_picture);
}

void ReceiverWindow::paintCode(QPainter &painter) {
    painter.fillRect(rect(), kCodeBackground);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const int unit = std::min(width() / 16, height() / 9);

    QFont labelFont = font();
    labelFont.setPixelSize(std::max(8, unit * 2 / 3));
    QFont codeFont = font();
    codeFont.setPixelSize(std::max(12, unit * 2));
    codeFont.setBold(true);
    codeFont.setLetterSpacing(QFont::PercentageSpacing, 115);

    QRect labelArea(0, height() / 2 - unit * 2, width(), unit);
    QRect codeArea(0, height() / 2 - unit, width(), unit * 3);
    painter.setFont(labelFont);
    painter.setPen(kCodeLabelColor);
    painter.drawText(labelArea, Qt::AlignCenter, QStringLiteral("投屏码"));
    painter.setFont(codeFont);
    painter.setPen(kCodeColor);
    painter.drawText(codeArea, Qt::AlignCenter, m_castCode);
}

void ReceiverWindow::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_F) {
        toggleFullScreen();
        return;
    }
    if (event->key() == Qt::Key_Escape && isFullScreen()) {
        toggleFullScreen();
        return;
    }
    QWidget::keyPressEvent(event);
}

void ReceiverWindow::mouseDoubleClickEvent(QMouseEvent *) {
    toggleFullScreen();
}

} // namespace receiver
