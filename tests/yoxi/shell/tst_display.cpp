// The aspect-ratio fit and the screen size text.
#include "app/display/ratioutil.h"
#include "app/display/screenutil.h"

#include <QGuiApplication>
#include <QScreen>
#include <QtTest>
#include <qpa/qplatformscreen.h>
#include <qpa/qwindowsysteminterface.h>

#include <limits>

namespace {
// A monitor plugged in while the program runs.
class PluggedScreen : public QPlatformScreen {
public:
    QRect geometry() const override { return QRect(0, 0, 2560, 1440); }
    int depth() const override { return 32; }
    QImage::Format format() const override { return QImage::Format_RGB32; }
};
} // namespace

class DisplayTest : public QObject {
    Q_OBJECT

private slots:
    void fit_data() {
        QTest::addColumn<float>("screenWidth");
        QTest::addColumn<float>("screenHeight");
        QTest::addColumn<float>("receiverWidth");
        QTest::addColumn<float>("receiverHeight");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::newRow("1440x900 into 1080p") << 1440.f << 900.f << 1920.f << 1080.f << 1728 << 1080;
        QTest::newRow("1366x768, width limits, odd made even")
            << 1366.f << 768.f << 1920.f << 1080.f << 1920 << 1078;
        QTest::newRow("same ratio smaller") << 1920.f << 1080.f << 1280.f << 720.f << 1280 << 720;
        QTest::newRow("same ratio 1600x900") << 1920.f << 1080.f << 1600.f << 900.f << 1600 << 900;
        QTest::newRow("2560x1600 into 1080p")
            << 2560.f << 1600.f << 1920.f << 1080.f << 1728 << 1080;
        QTest::newRow("portrait receiver") << 1920.f << 1080.f << 1080.f << 1920.f << 1080 << 606;
        QTest::newRow("odd limiting receiver side")
            << 1920.f << 1080.f << 1921.f << 1081.f << 1920 << 1080;
        QTest::newRow("receiver wider, lower")
            << 1920.f << 1080.f << 2560.f << 720.f << 1280 << 720;
        QTest::newRow("same size") << 1920.f << 1080.f << 1920.f << 1080.f << 1920 << 1080;
    }
    void fit() {
        QFETCH(float, screenWidth);
        QFETCH(float, screenHeight);
        QFETCH(float, receiverWidth);
        QFETCH(float, receiverHeight);
        RatioUtil ratio;
        ratio.fitRatio(screenWidth, screenHeight, receiverWidth, receiverHeight);
        QTEST(ratio.getFitWidth(), "width");
        QTEST(ratio.getFitHeight(), "height");
    }

    void unusableSizesGiveNoPicture_data() {
        QTest::addColumn<float>("screenWidth");
        QTest::addColumn<float>("screenHeight");
        QTest::addColumn<float>("receiverWidth");
        QTest::addColumn<float>("receiverHeight");
        const float nan = std::numeric_limits<float>::quiet_NaN();
        QTest::newRow("receiver 0x0") << 1920.f << 1080.f << 0.f << 0.f;
        QTest::newRow("receiver width 0") << 1920.f << 1080.f << 0.f << 1080.f;
        QTest::newRow("receiver height 0") << 1920.f << 1080.f << 1920.f << 0.f;
        QTest::newRow("screen 0x0") << 0.f << 0.f << 1920.f << 1080.f;
        QTest::newRow("negative") << 1920.f << 1080.f << -1920.f << 1080.f;
        QTest::newRow("not a number") << 1920.f << 1080.f << nan << 1080.f;
        QTest::newRow("beyond int") << 1920.f << 1080.f << 1e12f << 1080.f;
    }
    void unusableSizesGiveNoPicture() {
        QFETCH(float, screenWidth);
        QFETCH(float, screenHeight);
        QFETCH(float, receiverWidth);
        QFETCH(float, receiverHeight);
        RatioUtil ratio;
        ratio.fitRatio(1920, 1080, 1280, 720);
        ratio.fitRatio(screenWidth, screenHeight, receiverWidth, receiverHeight);
        QCOMPARE(ratio.getFitWidth(), 0);
        QCOMPARE(ratio.getFitHeight(), 0);
    }

    void screenSizeText() {
        ScreenUtil screen;
        const QRect geometry = QGuiApplication::primaryScreen()->geometry();
        QCOMPARE(screen.getScreenWidth(), geometry.width());
        QCOMPARE(screen.getScreenHeight(), geometry.height());
        QCOMPARE(screen.getScreenSize(),
                 QStringLiteral("%1*%2").arg(geometry.width()).arg(geometry.height()));

        // A monitor that becomes primary is measured; once it is unplugged
        // (Qt deletes its screen) the one left is measured again.
        auto *plugged = new PluggedScreen;
        QWindowSystemInterface::handleScreenAdded(plugged, true);
        QCOMPARE(screen.getScreenSize(), QStringLiteral("2560*1440"));
        QWindowSystemInterface::handleScreenRemoved(plugged);
        QCOMPARE(screen.getScreenWidth(), geometry.width());
        QCOMPARE(screen.getScreenHeight(), geometry.height());
    }
};

QTEST_MAIN(DisplayTest)
#include "tst_display.moc"
