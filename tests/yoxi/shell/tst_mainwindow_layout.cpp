// The main window's size rule and widget placement on a real 1920x1080 X
// screen (Xvfb). Exits with 77 (skipped) when there is no display.
#include "support/childwidget.h"
#include "ui/mainwindow/mainwindow.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTextBrowser>
#include <QtTest>

class MainWindowLayoutTest : public QObject {
    Q_OBJECT

    MainWindow *window = nullptr;

private slots:
    void initTestCase() {
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        if (screen.size() != QSize(1920, 1080)) {
            QSKIP("the expected geometry is for a 1920x1080 primary screen");
        }
        // No configuration beside the executable: no installed version.
        QFile::remove(QCoreApplication::applicationDirPath() + QStringLiteral("/lumora.config"));
        window = new MainWindow;
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
    }

    void windowSizePositionAndShape() {
        QCOMPARE(window->size(), QSize(768, 540));
        QCOMPARE(window->minimumSize(), QSize(768, 540));
        QCOMPARE(window->maximumSize(), QSize(768, 540));
        QCOMPARE(window->pos(), QPoint(576, 270));
        QCOMPARE(window->windowFlags() & ~Qt::WindowType_Mask, Qt::FramelessWindowHint);
        const QRegion mask = window->mask();
        QVERIFY(!mask.contains(QPoint(0, 0)));
        QVERIFY(!mask.contains(QPoint(767, 539)));
        QVERIFY(!mask.contains(QPoint(1, 2)));
        QVERIFY(mask.contains(QPoint(10, 10)));
        QVERIFY(mask.contains(QPoint(384, 0)));
    }

    void widgetPositions_data() {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QPoint>("position");
        QTest::newRow("q_magnifier") << QByteArray("q_magnifier") << QPoint(542, 96);
        QTest::newRow("yoxiCode") << QByteArray("yoxiCode") << QPoint(284, 441);
        QTest::newRow("editIcon") << QByteArray("editIcon") << QPoint(296, 457);
        QTest::newRow("yoxiButton") << QByteArray("yoxiButton") << QPoint(426, 448);
        QTest::newRow("quitcast") << QByteArray("quitcast") << QPoint(324, 456);
        QTest::newRow("closeButton") << QByteArray("closeButton") << QPoint(730, 11);
        QTest::newRow("minButton") << QByteArray("minButton") << QPoint(702, 11);
        QTest::newRow("titleBg keeps its form place") << QByteArray("titleBg") << QPoint(20, 15);
    }
    void widgetPositions() {
        QFETCH(QByteArray, name);
        QFETCH(QPoint, position);
        QCOMPARE(child<QWidget>(window, name.constData())->pos(), position);
    }

    // The radio buttons and the help label are as high as their texts need
    // (at least their form heights); the rules place them by that height.
    void bottomCorners() {
        QWidget *origin = child<QWidget>(window, "q_radio_origin");
        QVERIFY(origin->height() >= 19);
        QCOMPARE(origin->pos(), QPoint(20, 540 - 20 - origin->height()));
        QCOMPARE(child<QWidget>(window, "q_radio_fullscreen")->pos(), QPoint(91, origin->y()));

        QWidget *help = child<QWidget>(window, "help");
        QVERIFY(help->height() >= 16);
        QCOMPARE(help->pos(), QPoint(697, 540 - 18 - help->height()));
        QWidget *sign = child<QWidget>(window, "helpSign");
        QCOMPARE(sign->pos(), QPoint(677, help->y() + help->height() / 2 - 6));
    }

    // The help popup is as tall as its six paragraphs need, never scrolls,
    // and sits 20 pixels from the right edge.
    void helpPopupFitsItsText() {
        auto *content = static_cast<QTextBrowser *>(child<QWidget>(window, "helpContent"));
        QVERIFY(content->height() >= 171);
        QCOMPARE(content->x(), 457);
        QCOMPARE(content->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QVERIFY(content->document()->size().height() <= content->contentsRect().height());
    }

    void midPicture() {
        QCOMPARE(child<QWidget>(window, "mid")->geometry(), QRect(166, 26, 436, 385));
    }

    void bottomRowFromTheRight() {
        QWidget *help = child<QWidget>(window, "help");
        QWidget *sign = child<QWidget>(window, "helpSign");
        QWidget *version = child<QWidget>(window, "q_version");
        QWidget *upgrade = child<QWidget>(window, "q_upgrade");
        QCOMPARE(window->width() - help->geometry().right() - 1, 20);
        QCOMPARE(help->x() - sign->geometry().right() - 1, 7);
        QCOMPARE(sign->x() - version->geometry().right() - 1, 10);
        QCOMPARE(version->x() - upgrade->geometry().right() - 1, 10);
        QCOMPARE(help->y() - child<QWidget>(window, "helpContent")->geometry().bottom(), 11);
    }

    void visibilityAndTexts() {
        QVERIFY(child<QWidget>(window, "quitcast")->isHidden());
        QVERIFY(child<QWidget>(window, "helpContent")->isHidden());
        QVERIFY(child<QWidget>(window, "q_upgrade")->isHidden());
        QVERIFY(child<QWidget>(window, "q_grade_tip")->isHidden());
        QVERIFY(child<QWidget>(window, "q_polygon")->isHidden());
        QVERIFY(!child<QWidget>(window, "yoxiButton")->isEnabled());
        auto *code = static_cast<QLineEdit *>(child<QWidget>(window, "yoxiCode"));
        QCOMPARE(code->placeholderText(), QStringLiteral("请输入六位投屏码"));
        QCOMPARE(code->maxLength(), 6);
        QCOMPARE(code->textMargins(), QMargins(38, 1, 1, 1));
        QVERIFY(!code->testAttribute(Qt::WA_InputMethodEnabled));
        QCOMPARE(static_cast<QLabel *>(child<QWidget>(window, "q_version"))->text(),
                 QStringLiteral("V "));
        QCOMPARE(window->windowTitle(), QStringLiteral("岚栖投屏"));
    }

    void helpTextHasSixParagraphs() {
        auto *content = static_cast<QTextBrowser *>(child<QWidget>(window, "helpContent"));
        const QString text = content->toPlainText();
        QCOMPARE(content->document()->blockCount(), 6);
        QVERIFY(text.contains(QStringLiteral("与TV接入同一WI-FI")));
        QVERIFY(text.contains(QStringLiteral("结束需要点击「退出投屏」按钮")));
        QVERIFY(text.contains(QStringLiteral("疑难问题与企业版咨询QQ：")));
        QVERIFY(text.contains(QStringLiteral("更多使用帮助请参考：岚栖无限官网")));
        QVERIFY(content->toHtml().contains(QStringLiteral("href=\"http")));
        QVERIFY(content->openExternalLinks());
    }

    void cleanupTestCase() { delete window; }
};

int main(int argc, char *argv[]) {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        fputs("no X display: skipped\n", stdout);
        return 77;
    }
    QApplication app(argc, argv);
    MainWindowLayoutTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mainwindow_layout.moc"
