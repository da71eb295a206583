// Opens every window and dialog of the program in each of its states on a
// 1920x1080 X screen and checks that each shows its whole text (see
// textfit.h). With YOXI_SCREENSHOT_DIR set, saves a picture of every state
// there as <state>.png.
#include "support/castserver.h"
#include "support/childwidget.h"
#include "support/messageboxes.h"
#include "support/testconfig.h"
#include "textfit.h"

#include "app/config/configutil.h"
#include "app/display/fontfallbacks.h"
#include "ui/basedialog/basedialog.h"
#include "ui/castingwindow/cancelwindow.h"
#include "ui/downloaddialog/downloaddialog.h"
#include "ui/mainwindow/mainwindow.h"
#include "ui/progressbar/qroundprogressbar.h"
#include "ui/termsdialog/termsdialog.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTextBrowser>
#include <QtTest>

#include <memory>

namespace {
const char refusal[] = "投屏码无效，请核对TV上显示的六位投屏码后重试";
// Longer than four lines of the prompt, with a token that has no break
// opportunity of its own.
const char longMessage[] =
    "服务器繁忙：当前排队设备较多，您的投屏请求暂时无法处理。请确认TV端已打开投屏应用并停留在投屏"
    "码页面，稍等一分钟后重新输入投屏码再试；如多次失败请联系客服并提供请求编号"
    "REQ-20261207-172543-8f3a9c2e7b1d4e6f0a5b。";

void sendEvent(QObject *target, QEvent::Type type) {
    QEvent event(type);
    QApplication::sendEvent(target, &event);
}

// A prompt as the main window builds its message boxes.
BaseDialog *messageBox(const QString &text) {
    auto *box = new BaseDialog(nullptr);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setButtons(true, QStringLiteral("确定"), false, QString());
    box->setTitleButtons(true, false);
    box->setText(text);
    box->show();
    return box;
}
} // namespace

class WindowTextsTest : public QObject {
    Q_OBJECT

    QTemporaryDir home;
    std::unique_ptr<TestServer> server;
    // Accepts connections and never answers: requests to it stay pending.
    QTcpServer silent;
    QPointer<MainWindow> window;

    // Checks window in the named state and saves its picture when asked to.
    void check(QWidget *shown, const QString &state, const QStringList &scrolling = {}) {
        QVERIFY(QTest::qWaitForWindowExposed(shown) || shown->isMinimized());
        QTest::qWait(50);
        QString folder = qEnvironmentVariable("YOXI_SCREENSHOT_DIR");
#ifdef Q_OS_WIN
        // Beside the pictures of the Linux build, which has other fonts.
        folder = folder.isEmpty() ? folder : folder + QStringLiteral("/windows");
#endif
        if (!folder.isEmpty()) {
            QDir().mkpath(folder);
            shown->grab().save(QDir(folder).filePath(state + QStringLiteral(".png")));
        }
        const QStringList faults = textFitFaults(shown, scrolling);
        QVERIFY2(faults.isEmpty(),
                 qPrintable(state + QStringLiteral(":\n  ") + faults.join(QStringLiteral("\n  "))));
    }

    // Checks a prompt and that it keeps its buttons 14 pixels from the bottom
    // edge and its rounded corners at its own size.
    void checkPrompt(BaseDialog *box, const QString &state) {
        check(box, state);
        auto *ok = child<QPushButton>(box, "ok_button");
        QCOMPARE(ok->geometry().bottom(), box->height() - 15);
        QVERIFY(!box->mask().contains(QPoint(box->width() - 1, box->height() - 1)));
        QVERIFY(box->mask().contains(QPoint(box->width() / 2, box->height() - 1)));
    }

private slots:
    void initTestCase() {
        if (QGuiApplication::primaryScreen()->geometry().size() != QSize(1920, 1080)) {
            QSKIP("the windows are sized for a 1920x1080 primary screen");
        }
        installFontFallbacks();
        qputenv("HOME", home.path().toLocal8Bit());
        qunsetenv("XDG_CONFIG_HOME");
        QApplication::setQuitOnLastWindowClosed(false);
        QVERIFY(silent.listen(QHostAddress::LocalHost, 0));

        server = std::make_unique<TestServer>();
        const QString error = server->start(
            {QStringLiteral("--delay"), QStringLiteral("connect:1500"), QStringLiteral("--refuse"),
             QStringLiteral("connect:500:") + QString::fromUtf8(refusal)});
        QVERIFY2(error.isEmpty(), qPrintable(error));
        writeConfig({{QStringLiteral("serverUrl"), server->baseUrl()},
                     {QStringLiteral("termsIsRead"), QStringLiteral("true")},
                     {QStringLiteral("versionCode"), QStringLiteral("2.0.5")},
                     {QStringLiteral("newVersionCode"), QStringLiteral("2.1.0")}});
        window = new MainWindow;
        window->show();
    }

    void cleanupTestCase() {
        takeMessages();
        delete window;
        QTest::qWait(50);
        server.reset();
    }

    void mainWindowIdleWithHelpAndUpgradeTip() {
        check(window, QStringLiteral("main-idle"));

        sendEvent(child<QLabel>(window, "help"), QEvent::Enter);
        QVERIFY(child<QTextBrowser>(window, "helpContent")->isVisible());
        check(window, QStringLiteral("main-help"));
        sendEvent(child<QLabel>(window, "help"), QEvent::Leave);
        child<QTextBrowser>(window, "helpContent")->hide();

        auto *upgrade = child<QPushButton>(window, "q_upgrade");
        upgrade->show();
        sendEvent(upgrade, QEvent::Enter);
        check(window, QStringLiteral("main-upgrade-tip"));
        sendEvent(upgrade, QEvent::Leave);
        upgrade->hide();
    }

    void mainWindowCodeTypedConnectingAndRefused() {
        auto *code = child<QLineEdit>(window, "yoxiCode");
        QTest::keyClicks(code, QStringLiteral("ab12cd"));
        QCOMPARE(code->text(), QStringLiteral("AB12CD"));
        check(window, QStringLiteral("main-code-typed"));

        child<QPushButton>(window, "yoxiButton")->click();
        QVERIFY(!code->isEnabled());
        check(window, QStringLiteral("main-connecting"));

        // The server's refusal is two lines long.
        QTRY_COMPARE_WITH_TIMEOUT(visibleMessageBoxes().size(), 1, 10000);
        BaseDialog *box = visibleMessageBoxes().first();
        QCOMPARE(messageText(box), QString::fromUtf8(refusal));
        checkPrompt(box, QStringLiteral("prompt-two-lines"));
        takeMessages();
    }

    void castingWindowAndMainWindowWhileCasting() {
        QVERIFY(QMetaObject::invokeMethod(window, "captureResultNotice", Q_ARG(bool, true)));
        CancelWindow *casting = nullptr;
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            casting = casting ? casting : qobject_cast<CancelWindow *>(widget);
        }
        QVERIFY(casting && casting->isVisible());
        check(casting, QStringLiteral("casting-window"));
        check(window, QStringLiteral("main-casting"));
        QVERIFY(QMetaObject::invokeMethod(window, "cancelResultNotice", Q_ARG(int, 0)));
    }

    void prompts() {
        BaseDialog *box = messageBox(QStringLiteral("服务器连接失败，请检查网络"));
        checkPrompt(box, QStringLiteral("prompt-one-line"));
        QVERIFY(child<QLabel>(box, "tip_content")->toolTip().isEmpty());
        box->close();

        // Five lines and more: four show, the last ending in an ellipsis, and
        // the whole message is the tooltip.
        box = messageBox(QString::fromUtf8(longMessage));
        checkPrompt(box, QStringLiteral("prompt-five-lines"));
        auto *text = child<QLabel>(box, "tip_content");
        QVERIFY(text->text().endsWith(QChar(0x2026)));
        QCOMPARE(text->toolTip(), QString::fromUtf8(longMessage));
        QCOMPARE(text->text().count(QLatin1Char('\n')), 3);
        box->close();

        box = new BaseDialog(nullptr);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setButtons(true, QStringLiteral("确定"), true, QStringLiteral("取消"));
        box->setTitleButtons(true, false);
        box->show();
        checkPrompt(box, QStringLiteral("prompt-quit"));
        box->close();

        box = new BaseDialog(nullptr);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setButtons(true, QStringLiteral("升级"), true, QStringLiteral("退出"));
        box->setTitleButtons(false, false);
        box->setText(QStringLiteral("发现新版本 2.1.0请升级！"));
        box->show();
        checkPrompt(box, QStringLiteral("prompt-upgrade"));
        box->close();
    }

    void termsDialog() {
        TermsDialog terms;
        terms.show();
        check(&terms, QStringLiteral("terms"), {QStringLiteral("terms")});
    }

    void downloadDialogStates() {
        ConfigUtil config;
        config.setValue(config.upgradePackageName, QStringLiteral("setup_2.1.0.exe"));
        config.setValue(config.downloadUrl,
                        QStringLiteral("http://127.0.0.1:%1/setup.exe").arg(silent.serverPort()));
        QPointer<DownloadDialog> dialog = new DownloadDialog;
        dialog->startDownload();
        dialog->show();
        dialog->receiveDownloadProcess(4096, 4096);
        QCOMPARE(child<QRoundProgressBar>(dialog, "download_process")->value(), 100.0);
        check(dialog, QStringLiteral("download-100"));

        dialog->receiveDownloadComplate(QStringLiteral("setup_2.1.0.exe"));
        check(dialog, QStringLiteral("download-complete"));

        dialog->receiveDownloadFailed(QStringLiteral("setup_2.1.0.exe"));
        check(dialog, QStringLiteral("download-failed"));
        dialog->close();
        QTRY_VERIFY(dialog.isNull());
    }
};

QTEST_MAIN(WindowTextsTest)
#include "tst_window_texts.moc"
