// The main window's side flows against the test cast server: the agreement at
// the first start, the upgrade check, the upgrade prompt with the download
// dialog, and the hover behaviour of the help popup and the upgrade tip.
#include "support/castserver.h"
#include "support/childwidget.h"
#include "support/messageboxes.h"
#include "support/testconfig.h"

#include "ui/basedialog/basedialog.h"
#include "ui/downloaddialog/downloaddialog.h"
#include "ui/mainwindow/mainwindow.h"
#include "ui/termsdialog/termsdialog.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QStandardPaths>
#include <QTextBrowser>
#include <QtTest>

#include <memory>

namespace {
template <typename T> QList<T *> visibleTopLevels() {
    QList<T *> found;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *typed = qobject_cast<T *>(widget); typed && typed->isVisible()) {
            found << typed;
        }
    }
    return found;
}

QString upgradeField(const TestServer &server, const char *name) {
    const QList<QJsonObject> checks = server.requests(QStringLiteral("upgrade"));
    return checks.isEmpty() ? QStringLiteral("<no check>")
                            : checks.last()
                                  .value(QStringLiteral("fields"))
                                  .toObject()
                                  .value(QLatin1String(name))
                                  .toString();
}

void sendEvent(QObject *target, QEvent::Type type) {
    QEvent event(type);
    QApplication::sendEvent(target, &event);
}
} // namespace

class MainWindowSideFlowsTest : public QObject {
    Q_OBJECT

    QTemporaryDir home;
    QTemporaryDir packages;
    QPointer<MainWindow> window;
    // Stopped only after the window is gone: the server waits for the
    // window's open connections before it ends.
    std::unique_ptr<TestServer> server;

    QString startServer(const QStringList &args) {
        server = std::make_unique<TestServer>();
        return server->start(args);
    }

    // Starts the server announcing version 2.1.0 (with `args` added) and
    // points the configuration at it with the agreement already accepted.
    QString startServerWithUpgrade(const QStringList &args) {
        const QString error = startServer(
            QStringList{QStringLiteral("--upgrade-version"), QStringLiteral("2.1.0")} + args);
        if (error.isEmpty()) {
            writeAcceptedConfig(server->baseUrl());
        }
        return error;
    }

    // The server arguments that serve the package from `packages`.
    QStringList servedPackage() const {
        return {QStringLiteral("--upgrade-name"), QStringLiteral("setup.exe"),
                QStringLiteral("--files"), packages.path()};
    }

    void openWindow() {
        window = new MainWindow;
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
    }

private slots:
    void initTestCase() {
        // The download dialog saves into the user's download folder.
        qputenv("HOME", home.path().toLocal8Bit());
        qunsetenv("XDG_CONFIG_HOME");
        QFile package(packages.filePath(QStringLiteral("setup.exe")));
        QVERIFY(package.open(QIODevice::WriteOnly));
        // A Windows executable's first bytes, or the download refuses it.
        package.write(QByteArray("MZ") + QByteArray(64 * 1024, 'x'));
        package.close();
        QApplication::setQuitOnLastWindowClosed(false);
    }

    void cleanup() {
        takeMessages();
        for (DownloadDialog *dialog : visibleTopLevels<DownloadDialog>()) {
            dialog->close();
        }
        for (TermsDialog *dialog : visibleTopLevels<TermsDialog>()) {
            dialog->close();
        }
        delete window;
        QTest::qWait(50);
        server.reset();
        DownloadDialog::setPackageOpener({});
        QDir(QStandardPaths::writableLocation(QStandardPaths::DownloadLocation))
            .removeRecursively();
    }

    void acceptingTheAgreementStoresItAndChecksWithVersionOneDotZero() {
        QString error = startServer({});
        QVERIFY2(error.isEmpty(), qPrintable(error));
        writeConfig({{QStringLiteral("serverUrl"), server->baseUrl()}});
        openWindow();

        QCOMPARE(visibleTopLevels<TermsDialog>().size(), 1);
        TermsDialog *terms = visibleTopLevels<TermsDialog>().first();
        QVERIFY(terms->isModal());
        QTRY_COMPARE(server->requests(QStringLiteral("active")).size(), 1);
        QCOMPARE(server->requests(QStringLiteral("upgrade")).size(), 0);

        child<QPushButton>(terms, "agree")->click();
        QCOMPARE(configValue(QStringLiteral("termsIsRead")), QStringLiteral("true"));
        QTRY_COMPARE(server->requests(QStringLiteral("upgrade")).size(), 1);
        QCOMPARE(upgradeField(*server, "version"), QStringLiteral("1.0"));
        QCOMPARE(upgradeField(*server, "channelNo"), QStringLiteral("official"));
        QVERIFY(window->isVisible());

        // The next start skips the agreement and checks with "1.0.0".
        delete window;
        openWindow();
        QVERIFY(visibleTopLevels<TermsDialog>().isEmpty());
        QTRY_COMPARE(server->requests(QStringLiteral("upgrade")).size(), 2);
        QCOMPARE(upgradeField(*server, "version"), QStringLiteral("1.0.0"));
        QTRY_COMPARE(server->requests(QStringLiteral("active")).size(), 2);
        QVERIFY(server->requests(QStringLiteral("upgrade")).last().value("sign_ok").toBool());
    }

    void configuredChannelAndVersionAreChecked() {
        QString error = startServer({});
        QVERIFY2(error.isEmpty(), qPrintable(error));
        writeConfig({{QStringLiteral("serverUrl"), server->baseUrl()},
                     {QStringLiteral("termsIsRead"), QStringLiteral("true")},
                     {QStringLiteral("tag"), QStringLiteral("beta")},
                     {QStringLiteral("versionCode"), QStringLiteral("2.0.5")}});
        openWindow();
        QTRY_COMPARE(server->requests(QStringLiteral("upgrade")).size(), 1);
        QCOMPARE(upgradeField(*server, "version"), QStringLiteral("2.0.5"));
        QCOMPARE(upgradeField(*server, "channelNo"), QStringLiteral("beta"));
        QCOMPARE(child<QLabel>(window, "q_version")->text(), QStringLiteral("V 2.0.5"));
    }

    void decliningTheAgreementEndsTheProgram() {
        QString error = startServer({});
        QVERIFY2(error.isEmpty(), qPrintable(error));
        writeConfig({{QStringLiteral("serverUrl"), server->baseUrl()}});
        openWindow();
        child<QPushButton>(visibleTopLevels<TermsDialog>().first(), "noagree")->click();
        // No window is left open, so the application's event loop would end.
        QVERIFY(visibleTopLevels<QWidget>().isEmpty());
        QCOMPARE(configValue(QStringLiteral("termsIsRead")), QStringLiteral("<missing>"));
        QTest::qWait(300);
        QCOMPARE(server->requests(QStringLiteral("upgrade")).size(), 0);
    }

    void decliningAnUpgrade_data() {
        QTest::addColumn<QString>("type");
        QTest::addColumn<bool>("windowStays");
        QTest::newRow("normal upgrade: the button hides") << QStringLiteral("0") << true;
        QTest::newRow("forced upgrade: the program ends") << QStringLiteral("1") << false;
    }
    void decliningAnUpgrade() {
        QFETCH(QString, type);
        QFETCH(bool, windowStays);
        QString error =
            startServerWithUpgrade(servedPackage() << QStringLiteral("--upgrade-type") << type);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QString prompt;
        answerNextPrompt(QStringLiteral("cancel_button"), &prompt);
        openWindow();
        QTRY_COMPARE(prompt, QStringLiteral("发现新版本 2.1.0请升级！"));
        QTRY_COMPARE(window->isVisible(), windowStays);
        QCOMPARE(visibleTopLevels<QWidget>().isEmpty(), !windowStays);
        if (windowStays) {
            QVERIFY(child<QPushButton>(window, "q_upgrade")->isHidden());
        }
        QVERIFY(visibleTopLevels<DownloadDialog>().isEmpty());
    }

    void upgradeButtonBringsTheSameDialogBack() {
        QString error = startServerWithUpgrade(servedPackage());
        QVERIFY2(error.isEmpty(), qPrintable(error));
        answerNextPrompt(QStringLiteral("ok_button"));
        openWindow();
        QTRY_COMPARE(visibleTopLevels<DownloadDialog>().size(), 1);
        QPointer<DownloadDialog> first = visibleTopLevels<DownloadDialog>().first();
        QPushButton *upgradeButton = child<QPushButton>(window, "q_upgrade");
        QVERIFY(upgradeButton->isVisible());
        const QString package = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation) +
                                QStringLiteral("/setup_2.1.0.exe");
        QTRY_VERIFY(QFile::exists(package));

        const QRect placed = first->geometry();
        first->showMinimized();
        upgradeButton->click();
        QCOMPARE(visibleTopLevels<DownloadDialog>().size(), 1);
        QCOMPARE(visibleTopLevels<DownloadDialog>().first(), first.data());
        QVERIFY(!first->isMinimized());
        QTest::qWait(50);
        QCOMPARE(first->geometry(), placed);

        // Escape closes the dialog without a signal, and it deletes itself;
        // the button then opens a new one, which finds the package present.
        QTest::keyClick(first, Qt::Key_Escape);
        QTRY_VERIFY(first.isNull());
        QVERIFY(window->isVisible());
        upgradeButton->click();
        QCOMPARE(visibleTopLevels<DownloadDialog>().size(), 1);
        DownloadDialog *second = visibleTopLevels<DownloadDialog>().first();
        QVERIFY(child<QPushButton>(second, "ok_button")->isVisible());

        // "稍后" ends the program.
        child<QPushButton>(second, "cancel_button")->click();
        QVERIFY(!window->isVisible());
    }

    // After a failed download "稍后" and the close button leave the program
    // running, unless the upgrade is forced; the upgrade button then offers
    // a new download.
    void dismissingAFailedDownload_data() {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QByteArray>("button");
        QTest::addColumn<bool>("windowStays");
        QTest::newRow("later") << QStringLiteral("0") << QByteArray("cancel_button") << true;
        QTest::newRow("close button") << QStringLiteral("0") << QByteArray("close_button") << true;
        QTest::newRow("forced upgrade: the program ends")
            << QStringLiteral("1") << QByteArray("cancel_button") << false;
    }
    void dismissingAFailedDownload() {
        QFETCH(QString, type);
        QFETCH(QByteArray, button);
        QFETCH(bool, windowStays);
        // Nothing listens on the discard port: the download fails at once.
        QString error = startServerWithUpgrade({QStringLiteral("--upgrade-url"),
                                                QStringLiteral("http://127.0.0.1:9/setup.exe"),
                                                QStringLiteral("--upgrade-type"), type});
        QVERIFY2(error.isEmpty(), qPrintable(error));
        answerNextPrompt(QStringLiteral("ok_button"));
        openWindow();
        QTRY_COMPARE(visibleTopLevels<DownloadDialog>().size(), 1);
        QPointer<DownloadDialog> dialog = visibleTopLevels<DownloadDialog>().first();
        QTRY_COMPARE(child<QLabel>(dialog, "tip_content")->text(),
                     QStringLiteral("下载失败，请稍后重试"));

        child<QPushButton>(dialog, button.constData())->click();
        QTRY_VERIFY(dialog.isNull());
        QCOMPARE(window->isVisible(), windowStays);
        if (windowStays) {
            child<QPushButton>(window, "q_upgrade")->click();
            QCOMPARE(visibleTopLevels<DownloadDialog>().size(), 1);
        }
    }

    // The prompt waits for the user while the upgrade reply's watch runs
    // out and releases the reply; answering afterwards must not touch it.
    void answeringThePromptAfterTheReplyIsReleased() {
        QString error = startServerWithUpgrade(servedPackage());
        QVERIFY2(error.isEmpty(), qPrintable(error));
        answerNextPrompt(QStringLiteral("ok_button"), nullptr, 5500);
        openWindow();
        QTRY_COMPARE_WITH_TIMEOUT(visibleTopLevels<DownloadDialog>().size(), 1, 10000);
        QTest::qWait(100);
        QVERIFY(window->isVisible());
    }

    void openingThePackageEndsTheProgram() {
        QString error = startServerWithUpgrade(servedPackage());
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QList<QUrl> opened;
        DownloadDialog::setPackageOpener([&opened](const QUrl &url) {
            opened << url;
            return true;
        });
        answerNextPrompt(QStringLiteral("ok_button"));
        openWindow();
        QTRY_COMPARE(visibleTopLevels<DownloadDialog>().size(), 1);
        QPushButton *ok =
            child<QPushButton>(visibleTopLevels<DownloadDialog>().first(), "ok_button");
        QTRY_VERIFY(ok->isVisible());
        ok->click();
        QCOMPARE(opened.size(), 1);
        QVERIFY(opened.first().toLocalFile().endsWith(QLatin1String("/setup_2.1.0.exe")));
        QVERIFY(!window->isVisible());
    }

    void helpPopupShowsOnHoverAndHidesWhenTheWindowIsClicked() {
        writeAcceptedConfig(QStringLiteral("http://127.0.0.1:9/prod-api/"));
        openWindow();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QLabel *help = child<QLabel>(window, "help");
        QLabel *sign = child<QLabel>(window, "helpSign");
        QTextBrowser *popup = child<QTextBrowser>(window, "helpContent");

        sendEvent(help, QEvent::Enter);
        QVERIFY(popup->isVisible());
        QVERIFY(popup->hasFocus());
        QVERIFY(help->styleSheet().contains(QLatin1String("#6176FF")));
        QVERIFY(sign->styleSheet().contains(QLatin1String("help_press.png")));
        sendEvent(help, QEvent::Leave);
        QVERIFY(popup->isVisible());
        QVERIFY(help->styleSheet().contains(QLatin1String("#B5BFCE")));
        QVERIFY(sign->styleSheet().contains(QLatin1String("help.png")));

        QTest::mouseClick(window->centralWidget(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 100));
        QTRY_VERIFY(popup->isHidden());
    }

    void upgradeTipSitsAboveTheButton_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("text");
        QTest::newRow("stored new version")
            << QStringLiteral("2.1.0") << QStringLiteral("新版本V2.1.0");
        QTest::newRow("no stored version") << QString() << QStringLiteral("新版本V");
    }
    void upgradeTipSitsAboveTheButton() {
        QFETCH(QString, stored);
        QFETCH(QString, text);
        QMap<QString, QString> config{
            {QStringLiteral("termsIsRead"), QStringLiteral("true")},
            {QStringLiteral("serverUrl"), QStringLiteral("http://127.0.0.1:9/prod-api/")}};
        if (!stored.isEmpty()) {
            config.insert(QStringLiteral("newVersionCode"), stored);
        }
        writeConfig(config);
        openWindow();
        QPushButton *button = child<QPushButton>(window, "q_upgrade");
        QLabel *tip = child<QLabel>(window, "q_grade_tip");
        QLabel *arrow = child<QLabel>(window, "q_polygon");
        button->show();

        sendEvent(button, QEvent::Enter);
        QVERIFY(tip->isVisible() && arrow->isVisible());
        QCOMPARE(tip->text(), text);
        QCOMPARE(tip->font().pixelSize(), 9);
        const QRect b = button->geometry();
        QCOMPARE(arrow->geometry().bottom(), b.y() - 9);
        QCOMPARE(arrow->x(), b.x() + b.width() / 2 - arrow->width() / 2);
        QCOMPARE(tip->geometry().bottom(), arrow->y() + 2);
        QCOMPARE(tip->x(), b.x() + b.width() / 2 - tip->width() / 2);
        QCOMPARE(tip->size(), QSize(72, 31));

        sendEvent(button, QEvent::Leave);
        QVERIFY(tip->isHidden() && arrow->isHidden());
    }
};

QTEST_MAIN(MainWindowSideFlowsTest)
#include "tst_mainwindow_sideflows.moc"
