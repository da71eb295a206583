// The casting window: placement, look, the quit button and dragging. On a
// real X screen (Xvfb, 1920x1080) it also checks the pixels on the screen and
// saves them as cancelwindow.png beside the test; without a display those
// checks are skipped and the rest runs on the offscreen platform.
#include "app/display/fontfallbacks.h"
#include "ui/castingwindow/cancelwindow.h"

#include <QApplication>
#include <QDesktopWidget>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QtTest>

namespace {

void sendMouse(QWidget *target, QEvent::Type type, const QPoint &globalPos) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons buttons =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, target->mapFromGlobal(globalPos), globalPos, button, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

bool onRealScreen() {
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

} // namespace

class TestCancelWindow : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void sitsAtTheDesktopsRightEdgeWithoutFrame();
    void quitButtonOnlyAnnouncesTheWish();
    void dragsFromTheTextButNotFromTheButton();
    void strayReleaseDoesNotMoveTheWindow();
    void screenShowsRoundedCornersAndTheStyles();

private:
    CancelWindow *window = nullptr;
};

void TestCancelWindow::init() {
    window = new CancelWindow();
}

void TestCancelWindow::cleanup() {
    delete window;
    window = nullptr;
}

void TestCancelWindow::sitsAtTheDesktopsRightEdgeWithoutFrame() {
    QVERIFY(!window->isVisible()); // the main window shows it when a cast starts
    QCOMPARE(window->windowTitle(), QStringLiteral("岚栖投屏"));
    QCOMPARE(window->size(), QSize(210, 38));
    QCOMPARE(window->minimumSize(), window->maximumSize());
    QCOMPARE(window->pos(), QPoint(QApplication::desktop()->width() - 210, 133));
    QVERIFY(window->windowFlags().testFlag(Qt::FramelessWindowHint));
    QVERIFY(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));

    const QRegion mask = window->mask();
    QVERIFY(!mask.contains(QPoint(0, 0)));
    QVERIFY(!mask.contains(QPoint(209, 37)));
    QVERIFY(mask.contains(QPoint(6, 0)));
    QVERIFY(mask.contains(QPoint(105, 19)));

    const auto text = window->findChild<QLabel *>(QStringLiteral("castting"));
    QVERIFY(text);
    QCOMPARE(text->text(), QStringLiteral("投屏中"));
    // As high as its text needs (at least the form's 16 pixels), centred.
    QVERIFY(text->height() >= 16);
    QCOMPARE(text->pos(), QPoint(44, (38 - text->height()) / 2));
    const auto tv = window->findChild<QLabel *>(QStringLiteral("tv"));
    QVERIFY(tv);
    QCOMPARE(tv->geometry(), QRect(17, 11, 16, 16));
}

void TestCancelWindow::quitButtonOnlyAnnouncesTheWish() {
    window->show();
    const auto button = window->findChild<QPushButton *>(QStringLiteral("cancelcast"));
    QVERIFY(button);
    QCOMPARE(button->text(), QStringLiteral("退出投屏"));
    QSignalSpy wishes(window, &CancelWindow::cancelCastNoctice);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(wishes.size(), 1);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(wishes.size(), 2);
    QVERIFY(window->isVisible()); // the main window hides it once the cast ended
}

void TestCancelWindow::dragsFromTheTextButNotFromTheButton() {
    window->show();
    const QPoint start = window->pos();
    const auto text = window->findChild<QLabel *>(QStringLiteral("castting"));
    const QPoint grip = text->mapToGlobal(QPoint(5, 5));
    sendMouse(text, QEvent::MouseButtonPress, grip);
    sendMouse(text, QEvent::MouseMove, grip + QPoint(-300, 40));
    QCOMPARE(window->pos(), start + QPoint(-300, 40));
    sendMouse(text, QEvent::MouseButtonRelease, grip + QPoint(-310, 45));
    QCOMPARE(window->pos(), start + QPoint(-310, 45));
    // Moving without a button held drags no more.
    sendMouse(text, QEvent::MouseMove, grip + QPoint(-400, 100));
    QCOMPARE(window->pos(), start + QPoint(-310, 45));

    const auto button = window->findChild<QPushButton *>(QStringLiteral("cancelcast"));
    const QPoint onButton = button->mapToGlobal(QPoint(20, 10));
    sendMouse(button, QEvent::MouseButtonPress, onButton);
    sendMouse(button, QEvent::MouseMove, onButton + QPoint(-50, 50));
    QCOMPARE(window->pos(), start + QPoint(-310, 45));
}

void TestCancelWindow::strayReleaseDoesNotMoveTheWindow() {
    window->show();
    const QPoint start = window->pos();
    sendMouse(window, QEvent::MouseButtonRelease, window->mapToGlobal(QPoint(60, 20)));
    QCOMPARE(window->pos(), start);
}

void TestCancelWindow::screenShowsRoundedCornersAndTheStyles() {
    if (!onRealScreen()) {
        QSKIP("needs a real X screen (run under scripts/test-session)");
    }
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    if (QApplication::desktop()->width() == 1920) {
        QCOMPARE(window->frameGeometry().topLeft(), QPoint(1710, 133));
    }
    QTest::qWait(300); // let the window paint
    const QRect area(window->pos(), window->size());
    const QImage shot = QGuiApplication::primaryScreen()
                            ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
                            .toImage();
    const QString path = QCoreApplication::applicationDirPath() + "/cancelwindow.png";
    QVERIFY(shot.save(path));
    qInfo("screenshot: %s", qPrintable(path));

    const QColor background(0xEF, 0xF1, 0xFB);
    const QColor button(0xE8, 0x61, 0x61);
    QCOMPARE(shot.pixelColor(8, 19), background);
    QCOMPARE(shot.pixelColor(200, 30), button);
    // Masked-out corner: the screen behind shows through.
    QVERIFY(shot.pixelColor(0, 0) != background);
    QVERIFY(shot.pixelColor(209, 37) != button);
    // The label draws its text in #555C82 somewhere on its line.
    bool textDrawn = false;
    for (int x = 44; x < 104 && !textDrawn; ++x) {
        for (int y = 11; y < 27 && !textDrawn; ++y) {
            const QColor pixel = shot.pixelColor(x, y);
            textDrawn = pixel.red() < 0xB0 && pixel.blue() > pixel.red();
        }
    }
    QVERIFY(textDrawn);
}

int main(int argc, char *argv[]) {
    // The test is registered for the X screen; without one it still runs
    // everything but the screen checks.
    if (qgetenv("QT_QPA_PLATFORM") == "xcb" && qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    installFontFallbacks();
    TestCancelWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_cancelwindow.moc"
