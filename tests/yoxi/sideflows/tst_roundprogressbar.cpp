// The round progress bar: range and value rules, label text, and the sizes the
// paint chain derives from the widget size.
#include "ui/progressbar/qroundprogressbar.h"

#include <QImage>
#include <QPainter>
#include <QtTest>

#include <cmath>

namespace {

// Exposes the label text and records what the paint chain computed.
class ProbeBar : public QRoundProgressBar {
public:
    using QRoundProgressBar::labelFor;

    double innerRadius = -1;
    int labelPixelSize = -1;

protected:
    void innerArea(const QRectF &baseRect, double outerSize, QRectF &innerRect,
                   double &radius) override {
        QRoundProgressBar::innerArea(baseRect, outerSize, innerRect, radius);
        innerRadius = radius;
    }
    void paintLabel(QPainter &painter, const QRectF &innerRect, double radius,
                    double value) override {
        QRoundProgressBar::paintLabel(painter, innerRect, radius, value);
        labelPixelSize = painter.font().pixelSize();
    }
};

// The bar drawn with only its label in black, everything else white.
QImage labelOnly(QRoundProgressBar &bar) {
    QPalette palette = bar.palette();
    for (auto role : {QPalette::Window, QPalette::Base, QPalette::AlternateBase,
                      QPalette::Highlight, QPalette::WindowText}) {
        palette.setColor(role, Qt::white);
    }
    palette.setColor(QPalette::Text, Qt::black);
    bar.setPalette(palette);
    return bar.grab().toImage();
}

// Sizes the bar as a square arc that labels its value as a whole percent.
void showPercentArc(QRoundProgressBar &bar, int size, int value) {
    bar.resize(size, size);
    bar.setShape(QRoundProgressBar::ShapeArc);
    bar.setPrecision(0);
    bar.setLabelPattern("%v%");
    bar.setValue(value);
}

// Number of pixels in the centre square of the bar that differ from white.
int inkInCentre(QRoundProgressBar &bar) {
    const QImage image = labelOnly(bar);
    const QRect centre(image.width() / 4, image.height() / 4, image.width() / 2,
                       image.height() / 2);
    int ink = 0;
    for (int y = centre.top(); y <= centre.bottom(); ++y) {
        for (int x = centre.left(); x <= centre.right(); ++x) {
            if (image.pixelColor(x, y) != QColor(Qt::white)) {
                ++ink;
            }
        }
    }
    return ink;
}

} // namespace

class RoundProgressBarTest : public QObject {
    Q_OBJECT
private slots:
    void rangeAcceptsBoundsInEitherOrder();
    void boundSettersSwapWhenCrossed();
    void valueIsClampedIntoRange();
    void labelsFollowPatternAndPrecision();
    void emptyRangeGivesZeroPercent();
    void arcAtThirtySixPixelsHasInnerRadius34AndLabelSize13();
    void fullLabelKeepsClearOfTheRing();
    void emptyPatternDrawsNoText();
};

void RoundProgressBarTest::rangeAcceptsBoundsInEitherOrder() {
    QRoundProgressBar bar;
    bar.setRange(100, 0);
    QCOMPARE(bar.minimum(), 0.0);
    QCOMPARE(bar.maximum(), 100.0);
    bar.setRange(0, 100);
    QCOMPARE(bar.minimum(), 0.0);
    QCOMPARE(bar.maximum(), 100.0);
}

void RoundProgressBarTest::boundSettersSwapWhenCrossed() {
    QRoundProgressBar bar;
    bar.setMinimun(150);
    QCOMPARE(bar.minimum(), 100.0);
    QCOMPARE(bar.maximum(), 150.0);
    QCOMPARE(bar.value(), 100.0);

    bar.setMaximun(20);
    QCOMPARE(bar.minimum(), 20.0);
    QCOMPARE(bar.maximum(), 100.0);

    // Both are registered slots under these names, for string connections.
    QVERIFY(bar.metaObject()->indexOfSlot("setMinimun(double)") >= 0);
    QVERIFY(bar.metaObject()->indexOfSlot("setMaximun(double)") >= 0);
}

void RoundProgressBarTest::valueIsClampedIntoRange() {
    QRoundProgressBar bar;
    bar.setRange(0, 100);
    bar.setValue(150.0);
    QCOMPARE(bar.value(), 100.0);
    bar.setValue(-5);
    QCOMPARE(bar.value(), 0.0);
    bar.setValue(42);
    QCOMPARE(bar.value(), 42.0);

    // Narrowing the range pulls the value in.
    bar.setRange(50, 80);
    QCOMPARE(bar.value(), 50.0);
}

void RoundProgressBarTest::labelsFollowPatternAndPrecision() {
    ProbeBar bar;
    bar.setPrecision(0);
    bar.setLabelPattern("%v%");
    bar.setValue(42);
    QCOMPARE(bar.labelFor(bar.value()), QString("42%"));

    bar.setPrecision(1);
    bar.setLabelPattern("%p%");
    bar.setValue(25);
    QCOMPARE(bar.labelFor(bar.value()), QString("25.0%"));

    bar.setRange(50, 150);
    bar.setPrecision(0);
    bar.setLabelPattern("%v of %m (%p%)");
    QCOMPARE(bar.labelFor(75), QString("75 of 101 (25%)"));

    bar.setPrecision(-1);
    QCOMPARE(bar.precision(), 0);
}

void RoundProgressBarTest::emptyRangeGivesZeroPercent() {
    ProbeBar bar;
    bar.setRange(10, 10);
    bar.setPrecision(0);
    QCOMPARE(bar.labelFor(10), QString("0%"));
    bar.resize(36, 36);
    QVERIFY(!bar.grab().isNull());
}

void RoundProgressBarTest::arcAtThirtySixPixelsHasInnerRadius34AndLabelSize13() {
    ProbeBar bar;
    showPercentArc(bar, 36, 5);
    bar.setRimWidth(2);
    bar.grab();
    QCOMPARE(bar.innerRadius, 34.0);
    QCOMPARE(bar.labelPixelSize, 13);

    bar.setShape(QRoundProgressBar::ShapeRing);
    bar.grab();
    QCOMPARE(bar.innerRadius, 27.0);
}

// The download dialog's ring: its inner edge is 15 pixels from the centre;
// "100%" must stay at least 2 pixels inside it.
void RoundProgressBarTest::fullLabelKeepsClearOfTheRing() {
    QRoundProgressBar bar;
    showPercentArc(bar, 36, 100);
    bar.setRimWidth(2);
    bar.setArcWidth(2);
    const QImage image = labelOnly(bar);
    int ink = 0;
    double farthest = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(image.pixel(x, y)) < 128) {
                ++ink;
                farthest = qMax(farthest, std::hypot(x + 0.5 - 18, y + 0.5 - 18));
            }
        }
    }
    QVERIFY(ink > 20);
    QVERIFY2(farthest <= 13.5,
             qPrintable(QString("label reaches %1 px from the centre").arg(farthest)));
}

void RoundProgressBarTest::emptyPatternDrawsNoText() {
    QRoundProgressBar bar;
    showPercentArc(bar, 60, 88);
    QVERIFY(inkInCentre(bar) > 0);

    bar.clearLabelPattern();
    QCOMPARE(inkInCentre(bar), 0);
}

QTEST_MAIN(RoundProgressBarTest)
#include "tst_roundprogressbar.moc"
