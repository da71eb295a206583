// The confirm dialog: result only through OK, button placement, mask, drag.
#include "support/childwidget.h"
#include "ui/basedialog/basedialog.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

namespace {
// Runs the dialog modally and performs the action once its loop runs.
int execWith(BaseDialog *dialog, const std::function<void()> &action) {
    QTimer::singleShot(0, dialog, action);
    return dialog->exec();
}
} // namespace

class BaseDialogTest : public QObject {
    Q_OBJECT

private slots:
    void construction() {
        BaseDialog dialog;
        QCOMPARE(dialog.size(), QSize(380, 180));
        QCOMPARE(dialog.windowFlags() & ~Qt::WindowType_Mask,
                 Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
        QCOMPARE(child<QPushButton>(&dialog, "close_button")->geometry(), QRect(342, 10, 18, 18));
        QCOMPARE(child<QPushButton>(&dialog, "min_button")->geometry(), QRect(314, 10, 18, 18));
        QCOMPARE(child<QPushButton>(&dialog, "ok_button")->geometry(), QRect(298, 136, 68, 30));
        QCOMPARE(child<QPushButton>(&dialog, "cancel_button")->geometry(), QRect(220, 136, 68, 30));
        QLabel *text = child<QLabel>(&dialog, "tip_content");
        QCOMPARE(text->text(), QStringLiteral("你确定退出该软件吗？"));
        QVERIFY(text->wordWrap());
        QCOMPARE(text->font().pixelSize(), 16);
    }

    void roundedCornersAreCutAway() {
        BaseDialog dialog;
        const QRegion mask = dialog.mask();
        QVERIFY(!mask.contains(QPoint(0, 0)));
        QVERIFY(!mask.contains(QPoint(379, 179)));
        QVERIFY(!mask.contains(QPoint(379, 0)));
        QVERIFY(mask.contains(QPoint(6, 6)));
        QVERIFY(mask.contains(QPoint(190, 0)));
        QVERIFY(mask.contains(QPoint(0, 90)));
    }

    void bothButtonsAfterSetButtons() {
        BaseDialog dialog;
        dialog.setButtons(true, QStringLiteral("退出"), true, QStringLiteral("再想想"));
        QPushButton *ok = child<QPushButton>(&dialog, "ok_button");
        QPushButton *cancel = child<QPushButton>(&dialog, "cancel_button");
        QCOMPARE(ok->geometry(), QRect(298, 136, 68, 30));
        QCOMPARE(cancel->geometry(), QRect(217, 136, 68, 30));
        QCOMPARE(ok->text(), QStringLiteral("退出"));
        QCOMPARE(cancel->text(), QStringLiteral("再想想"));
        QVERIFY(!ok->isHidden());
        QVERIFY(!cancel->isHidden());
    }

    void okAloneIsWider() {
        BaseDialog dialog;
        dialog.setButtons(true, QStringLiteral("知道了"), false, QStringLiteral("unused"));
        QPushButton *ok = child<QPushButton>(&dialog, "ok_button");
        QPushButton *cancel = child<QPushButton>(&dialog, "cancel_button");
        QCOMPARE(ok->geometry(), QRect(276, 136, 90, 30));
        QVERIFY(cancel->isHidden());
        QCOMPARE(cancel->text(), QStringLiteral("取消"));
    }

    void titleButtons() {
        BaseDialog dialog;
        dialog.setTitleButtons(true, false);
        QVERIFY(!child<QPushButton>(&dialog, "close_button")->isHidden());
        QVERIFY(child<QPushButton>(&dialog, "min_button")->isHidden());
        dialog.setText(QStringLiteral("服务器连接失败"));
        QCOMPARE(child<QLabel>(&dialog, "tip_content")->text(), QStringLiteral("服务器连接失败"));
    }

    // A longer message grows the text label and the box by the same height,
    // the buttons keeping 14 pixels to the bottom edge; a shorter one after it
    // brings back the built-in size.
    void longMessagesGrowTheBoxAndShortOnesShrinkIt() {
        BaseDialog dialog;
        dialog.setButtons(true, QStringLiteral("确定"), true, QStringLiteral("取消"));
        QLabel *text = child<QLabel>(&dialog, "tip_content");
        dialog.setText(QStringLiteral("服务器繁忙：当前排队设备较多，您的投屏请求暂时无法处理，"
                                      "请稍等一分钟后重试"));
        const int growth = text->height() - 36;
        QVERIFY(growth > 0);
        QCOMPARE(dialog.size(), QSize(380, 180 + growth));
        QCOMPARE(child<QPushButton>(&dialog, "ok_button")->geometry(),
                 QRect(298, 136 + growth, 68, 30));
        QCOMPARE(child<QPushButton>(&dialog, "cancel_button")->geometry(),
                 QRect(217, 136 + growth, 68, 30));
        QVERIFY(dialog.mask().contains(QPoint(190, 179 + growth)));

        dialog.setText(QStringLiteral("服务器连接失败"));
        QCOMPARE(dialog.size(), QSize(380, 180));
        QCOMPARE(text->geometry(), QRect(110, 60, 240, 36));
        QCOMPARE(child<QPushButton>(&dialog, "ok_button")->geometry(), QRect(298, 136, 68, 30));
    }

    // A word wider than the label (a server's error token) is broken inside,
    // so that no line is cut at the label's right edge.
    void wordsWiderThanTheLabelAreBroken() {
        BaseDialog dialog;
        const QString message = QStringLiteral("请求失败：") +
                                QStringLiteral("ERR_UPSTREAM_TIMEOUT_0123456789ABCDEFGHIJKLMNOP");
        dialog.setText(message);
        QLabel *text = child<QLabel>(&dialog, "tip_content");
        const QStringList lines = text->text().split(QLatin1Char('\n'));
        QVERIFY(lines.size() > 1);
        QCOMPARE(lines.join(QString()), message);
        for (const QString &line : lines) {
            QVERIFY(text->fontMetrics().horizontalAdvance(line) <= text->width());
        }
        QVERIFY(text->toolTip().isEmpty());
    }

    // A server's message of one endless word is cut before the box lays it
    // out, so the box appears at once; the delay is printed for the record.
    void endlessWordIsCutBeforeLayout() {
        const QString word(1000000, QLatin1Char('a'));
        QElapsedTimer clock;
        clock.start();
        BaseDialog dialog;
        dialog.setText(word);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        qInfo("box for a 1,000,000-character word shown after %lld ms", clock.elapsed());
        QLabel *text = child<QLabel>(&dialog, "tip_content");
        QVERIFY2(text->text().size() < 1000, qPrintable(QString::number(text->text().size())));
        QVERIFY(text->text().endsWith(QChar(0x2026)));
        QVERIFY(text->toolTip().size() < 1000);
    }

    void resultIsOneOnlyThroughOk_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("expected");
        QTest::newRow("ok") << "ok_button" << 1;
        QTest::newRow("cancel") << "cancel_button" << 0;
        QTest::newRow("close") << "close_button" << 0;
        QTest::newRow("escape") << "" << 0;
    }
    void resultIsOneOnlyThroughOk() {
        QFETCH(QString, how);
        BaseDialog dialog;
        dialog.setButtons(true, QStringLiteral("确定"), true, QStringLiteral("取消"));
        dialog.setTitleButtons(true, false);
        const int result = execWith(&dialog, [&] {
            if (how.isEmpty()) {
                QTest::keyClick(&dialog, Qt::Key_Escape);
            } else {
                QTest::mouseClick(child<QPushButton>(&dialog, how.toLatin1().constData()),
                                  Qt::LeftButton);
            }
        });
        QTEST(result, "expected");
    }

    void minimiseLeavesTheDialogOpen() {
        BaseDialog dialog;
        dialog.setTitleButtons(true, true);
        bool stillVisible = false;
        const int result = execWith(&dialog, [&] {
            QTest::mouseClick(child<QPushButton>(&dialog, "min_button"), Qt::LeftButton);
            stillVisible = dialog.isVisible();
            QTest::mouseClick(child<QPushButton>(&dialog, "ok_button"), Qt::LeftButton);
        });
        QVERIFY(stillVisible);
        QCOMPARE(result, 1);
    }

    void draggingByTheTextMovesTheDialog() {
        BaseDialog dialog;
        dialog.move(100, 100);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const QPoint start = dialog.pos();
        QLabel *text = child<QLabel>(&dialog, "tip_content");
        // The pointer's global position is what counts; the label moves with the dialog.
        const QPoint grab = text->mapToGlobal(QPoint(5, 5));
        sendMouse(text, QEvent::MouseButtonPress, grab, Qt::RightButton, Qt::RightButton);
        sendMouse(text, QEvent::MouseMove, grab + QPoint(30, 20), Qt::NoButton, Qt::RightButton);
        QCOMPARE(dialog.pos(), start + QPoint(30, 20));
        sendMouse(text, QEvent::MouseMove, grab + QPoint(40, 25), Qt::NoButton, Qt::RightButton);
        sendMouse(text, QEvent::MouseButtonRelease, grab + QPoint(45, 27), Qt::RightButton,
                  Qt::NoButton);
        QCOMPARE(dialog.pos(), start + QPoint(45, 27));

        // Once released, moves (even with a button held down elsewhere) do not drag.
        sendMouse(text, QEvent::MouseMove, grab + QPoint(80, 80), Qt::NoButton, Qt::LeftButton);
        QCOMPARE(dialog.pos(), start + QPoint(45, 27));

        // A press on a button goes to the button and starts no drag.
        const QPoint before = dialog.pos();
        QPushButton *ok = child<QPushButton>(&dialog, "ok_button");
        const QPoint onOk = ok->mapToGlobal(QPoint(5, 5));
        sendMouse(ok, QEvent::MouseButtonPress, onOk, Qt::LeftButton, Qt::LeftButton);
        sendMouse(ok, QEvent::MouseMove, onOk + QPoint(3, 2), Qt::NoButton, Qt::LeftButton);
        sendMouse(ok, QEvent::MouseButtonRelease, onOk + QPoint(3, 2), Qt::LeftButton,
                  Qt::NoButton);
        QCOMPARE(dialog.pos(), before);
    }

private:
    static void sendMouse(QWidget *target, QEvent::Type type, const QPoint &global,
                          Qt::MouseButton button, Qt::MouseButtons held) {
        QMouseEvent event(type, target->mapFromGlobal(global), global, button, held,
                          Qt::NoModifier);
        QApplication::sendEvent(target, &event);
    }
};

QTEST_MAIN(BaseDialogTest)
#include "tst_basedialog.moc"
