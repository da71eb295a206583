// The main window's cast flow against the test cast server and a fake engine
// library: code entry, refusals, a started cast, engine notifications,
// quitting and closing.
#include "capture/fakeengine.h"
#include "peakmemory.h"
#include "support/castserver.h"
#include "support/childwidget.h"
#include "support/messageboxes.h"
#include "support/testconfig.h"

#include "ui/basedialog/basedialog.h"
#include "ui/castingwindow/cancelwindow.h"
#include "ui/mainwindow/mainwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTcpServer>
#include <QtTest>

namespace {
const char castCode[] = "AB12CD";
const int receiverPort = 47000;

// Every log message while it lives, besides the usual output.
class LogRecorder {
public:
    LogRecorder() { s_previous = qInstallMessageHandler(record); }
    ~LogRecorder() {
        qInstallMessageHandler(s_previous);
        s_messages.clear();
    }
    const QStringList &messages() const { return s_messages; }

private:
    static void record(QtMsgType type, const QMessageLogContext &context, const QString &text) {
        s_messages << text;
        s_previous(type, context, text);
    }
    static QtMessageHandler s_previous;
    static QStringList s_messages;
};
QtMessageHandler LogRecorder::s_previous = nullptr;
QStringList LogRecorder::s_messages;

// The engine's start as the fake engine recorded it.
struct EngineStart {
    QString host;
    int port = 0;
    QString code;
    int width = 0;
    int height = 0;
};

CancelWindow *castingWindow() {
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *window = qobject_cast<CancelWindow *>(widget)) {
            return window;
        }
    }
    return nullptr;
}
} // namespace

class MainWindowCastFlowTest : public QObject {
    Q_OBJECT

    TestServer server;
    TestServer refusingServer;
    FakeEngine engine;

    int engineCalls(const QString &name) {
        int count = 0;
        for (const QString &call : engine.calls()) {
            count += call.section(QLatin1Char(' '), 0, 0) == name ? 1 : 0;
        }
        return count;
    }

    // "startCapture HOST PORT CODE WIDTHxHEIGHT" of the last start.
    EngineStart lastStart() {
        EngineStart start;
        for (const QString &call : engine.calls()) {
            const QStringList parts = call.split(QLatin1Char(' '));
            if (parts.size() == 5 && parts[0] == QLatin1String("startCapture")) {
                start.host = parts[1];
                start.port = parts[2].toInt();
                start.code = parts[3];
                start.width = parts[4].section(QLatin1Char('x'), 0, 0).toInt();
                start.height = parts[4].section(QLatin1Char('x'), 1, 1).toInt();
            }
        }
        return start;
    }
    MainWindow *window = nullptr;

    QLineEdit *code() { return child<QLineEdit>(window, "yoxiCode"); }
    QPushButton *castButton() { return child<QPushButton>(window, "yoxiButton"); }

    // Types the code and clicks the cast button.
    void castWithTheButton() {
        QTest::keyClicks(code(), QStringLiteral("ab12cd"));
        castButton()->click();
    }

    // Types the code and presses Return; waits for the engine's start.
    void startCast() {
        QTest::keyClicks(code(), QStringLiteral("ab12cd"));
        QTest::keyClick(code(), Qt::Key_Return);
        // The connect exchange may take seconds on a busy machine; the
        // program's own 5 s watcher still bounds it.
        QTRY_COMPARE_WITH_TIMEOUT(engineCalls(QStringLiteral("startCapture")), 1, 20000);
        QTRY_VERIFY(castingWindow() && castingWindow()->isVisible());
    }

    QString lastDisconnectCode() {
        const QList<QJsonObject> disconnects = server.requests(QStringLiteral("disconnect"));
        return disconnects.isEmpty() ? QStringLiteral("<none>")
                                     : disconnects.last()
                                           .value(QStringLiteral("fields"))
                                           .toObject()
                                           .value(QStringLiteral("errorCode"))
                                           .toString();
    }

    bool casting() { return castingWindow() && castingWindow()->isVisible(); }

private slots:
    void initTestCase() {
        const QString receiver = QStringLiteral("%1=127.0.0.1:%2:1280x720")
                                     .arg(QLatin1String(castCode))
                                     .arg(receiverPort);
        QString error = server.start({QStringLiteral("--receiver"), receiver});
        QVERIFY2(error.isEmpty(), qPrintable(error));
        error = refusingServer.start(
            {QStringLiteral("--refuse"), QStringLiteral("connect:500:投屏码已过期，请刷新TV端")});
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY2(engine.load(), "the fake engine is not beside the test");
        QApplication::setQuitOnLastWindowClosed(false);
    }

    void init() {
        engine.reset();
        writeAcceptedConfig(server.baseUrl());
        window = new MainWindow;
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
    }

    void cleanup() {
        takeMessages();
        delete window;
        window = nullptr;
        // Replies and their watchers of the deleted window settle here.
        QTest::qWait(50);
    }

    void typingUpperCasesAndEnablesAtSixCharacters() {
        QTest::keyClicks(code(), QStringLiteral("ab12c"));
        QCOMPARE(code()->text(), QStringLiteral("AB12C"));
        QVERIFY(!castButton()->isEnabled());
        QVERIFY(castButton()->styleSheet().contains(QLatin1String("0.6")));

        QTest::keyClicks(code(), QStringLiteral("d"));
        QCOMPARE(code()->text(), QStringLiteral("AB12CD"));
        QVERIFY(castButton()->isEnabled());
        QVERIFY(castButton()->styleSheet().contains(QLatin1String("color: white")));
        QCOMPARE(code()->font().family(), QStringLiteral("Consolas"));
        QCOMPARE(code()->font().pixelSize(), 19);

        // Clearing in one step resets the look but leaves the button alone;
        // pressing it then sends nothing.
        code()->selectAll();
        QTest::keyClick(code(), Qt::Key_Delete);
        QCOMPARE(code()->font().pixelSize(), 12);
        QVERIFY(castButton()->isEnabled());
        castButton()->click();
        QTest::qWait(300);
        QCOMPARE(server.requests(QStringLiteral("connect")).size(), 0);
    }

    void returnWithAShortCodeSendsNothing() {
        QTest::keyClicks(code(), QStringLiteral("ab1"));
        QTest::keyClick(code(), Qt::Key_Return);
        QTest::qWait(300);
        QCOMPARE(server.requests(QStringLiteral("connect")).size(), 0);
        QVERIFY(code()->isEnabled());
    }

    void refusalShowsTheServersMessage() {
        writeAcceptedConfig(refusingServer.baseUrl());
        castWithTheButton();
        QTRY_COMPARE(visibleMessageBoxes().size(), 1);
        QCOMPARE(takeMessages(), QStringList{QStringLiteral("投屏码已过期，请刷新TV端")});
        QVERIFY(code()->isEnabled());
        QVERIFY(castButton()->isEnabled());
        QCOMPARE(engineCalls(QStringLiteral("startCapture")), 0);
    }

    void unreachableServerShowsTheNetworkMessage() {
        // Nothing listens on the discard port: the request fails at once.
        writeAcceptedConfig(QStringLiteral("http://127.0.0.1:9/prod-api/"));
        castWithTheButton();
        QVERIFY(!code()->isEnabled());
        QTRY_COMPARE(visibleMessageBoxes().size(), 1);
        QVERIFY(visibleMessageBoxes().first()->isModal());
        QCOMPARE(takeMessages(), QStringList{QStringLiteral("服务器连接失败，请检查网络")});
        QVERIFY(code()->isEnabled());
        QVERIFY(castButton()->isEnabled());
        QCOMPARE(engineCalls(QStringLiteral("startCapture")), 0);
    }

    void connectTimeOutShowsBothBoxesTogether() {
        // Takes the request and never answers: the 5 s watch aborts it.
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        writeAcceptedConfig(
            QStringLiteral("http://127.0.0.1:%1/prod-api/").arg(silent.serverPort()));
        castWithTheButton();
        QTRY_COMPARE_WITH_TIMEOUT(visibleMessageBoxes().size(), 1, 15000);
        // The time-out box comes from the same watch, in the same turn of the
        // event loop as the flow's message.
        const auto timeOutBoxes = [] {
            int count = 0;
            for (QWidget *widget : QApplication::topLevelWidgets()) {
                auto *box = qobject_cast<BaseDialog *>(widget);
                count += box && box->isVisible() && box->isModal() &&
                         messageText(box) == QStringLiteral("服务器连接失败，请检查网络!");
            }
            return count;
        };
        QVERIFY(timeOutBoxes() >= 1);
        QVERIFY(visibleMessageBoxes().first()->isModal());
        QCOMPARE(takeMessages(), QStringList{QStringLiteral("服务器连接失败，请检查网络")});
        QVERIFY(code()->isEnabled());
        QCOMPARE(engineCalls(QStringLiteral("startCapture")), 0);
    }

    void connectStartsTheEngineAndShowsTheCastingState() {
        startCast();
        const QJsonObject fields = server.requests(QStringLiteral("connect"))
                                       .last()
                                       .value(QStringLiteral("fields"))
                                       .toObject();
        QCOMPARE(fields.value(QStringLiteral("code")).toString(), QString::fromLatin1(castCode));
        QCOMPARE(fields.value(QStringLiteral("resolution")).toString(),
                 QStringLiteral("%1*%2")
                     .arg(QGuiApplication::primaryScreen()->geometry().width())
                     .arg(QGuiApplication::primaryScreen()->geometry().height()));

        const EngineStart start = lastStart();
        QCOMPARE(start.host, QStringLiteral("127.0.0.1"));
        QCOMPARE(start.port, receiverPort);
        QCOMPARE(start.code, QString::fromLatin1(castCode));
        // Full screen is the default choice: the receiver's size unchanged.
        QCOMPARE(start.width, 1280);
        QCOMPARE(start.height, 720);
        QCOMPARE(engineCalls(QStringLiteral("setCallback")), 1);

        QVERIFY(window->isMinimized());
        QVERIFY(code()->isHidden());
        QVERIFY(castButton()->isHidden());
        QVERIFY(child<QPushButton>(window, "quitcast")->isVisible());
        QVERIFY(child<QLabel>(window, "q_magnifier")->isHidden());
        QVERIFY(child<QLabel>(window, "mid")->styleSheet().contains(QLatin1String("cancel_mid")));
        QVERIFY(visibleMessageBoxes().isEmpty());
    }

    void originalPictureFitsTheScreenRatio() {
        child<QRadioButton>(window, "q_radio_origin")->click();
        QCOMPARE(configValue(QStringLiteral("isOrigin")), QStringLiteral("true"));
        startCast();
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        const EngineStart start = lastStart();
        // The picture keeps the screen's aspect ratio inside 1280 x 720.
        QVERIFY(start.width <= 1280 && start.height <= 720);
        QVERIFY(start.width == 1280 || start.height == 720);
        QVERIFY(qAbs(double(start.width) / start.height -
                     double(screen.width()) / screen.height()) < 0.01);

        // The choice survives into the next window.
        delete window;
        window = new MainWindow;
        QVERIFY(child<QRadioButton>(window, "q_radio_origin")->isChecked());
        child<QRadioButton>(window, "q_radio_fullscreen")->click();
        QCOMPARE(configValue(QStringLiteral("isOrigin")), QStringLiteral("false"));
    }

    void hostileConnectRepliesAreRefused_data() {
        QTest::addColumn<QStringList>("serverArgs");
        QTest::addColumn<QString>("startedSize");
        const auto data = [](const char *width, const char *height) {
            return QStringList{
                QStringLiteral("--connect-data"),
                QStringLiteral(R"({"ip":"127.0.0.1","port":%1,"width":%2,"height":%3})")
                    .arg(receiverPort)
                    .arg(QLatin1String(width), QLatin1String(height))};
        };
        const auto port = [](const char *value) {
            return QStringList{
                QStringLiteral("--connect-data"),
                QStringLiteral(R"({"ip":"127.0.0.1","port":%1,"width":1280,"height":720})")
                    .arg(QLatin1String(value))};
        };
        QTest::newRow("16000 x 16000") << data("16000", "16000") << QString();
        QTest::newRow("height 15") << data("1280", "15") << QString();
        QTest::newRow("width 4097") << data("4097", "720") << QString();
        QTest::newRow("width -720") << data("-720", "720") << QString();
        QTest::newRow("fractional width") << data("1280.5", "720") << QString();
        QTest::newRow("port 70000") << port("70000") << QString();
        QTest::newRow("port 65535") << port("65535") << QString();
        QTest::newRow("port 0") << port("0") << QString();
        QTest::newRow("port as text") << port(R"("7000")") << QString();
        QTest::newRow("port 65534 is taken") << port("65534") << QStringLiteral("1280x720");
        QTest::newRow("16 x 4096 is taken") << data("16", "4096") << QStringLiteral("16x4096");
        // No usable size given: the default size.
        QTest::newRow("width abc is the default")
            << data(R"("abc")", "720") << QStringLiteral("1920x1080");
        QTest::newRow("width as text is the default")
            << data(R"("1280")", "720") << QStringLiteral("1920x1080");
        QTest::newRow("width 0 is the default") << data("0", "720") << QStringLiteral("1920x1080");
        QTest::newRow("height null is the default")
            << data("1280", "null") << QStringLiteral("1920x1080");
        // Absent, the size is left to the engine bridge's default.
        QTest::newRow("size absent is taken")
            << QStringList{QStringLiteral("--connect-data"),
                           QStringLiteral(R"({"ip":"127.0.0.1","port":%1})").arg(receiverPort)}
            << QStringLiteral("1920x1080");
        QTest::newRow("50 MiB reply")
            << QStringList{QStringLiteral("--receiver"),
                           QStringLiteral("%1=127.0.0.1:%2:1280x720")
                               .arg(QLatin1String(castCode))
                               .arg(receiverPort),
                           QStringLiteral("--pad"), QStringLiteral("connect:52428800")}
            << QString();
    }

    void hostileConnectRepliesAreRefused() {
        QFETCH(QStringList, serverArgs);
        QFETCH(QString, startedSize);
        TestServer hostile;
        const QString error = hostile.start(serverArgs);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        writeAcceptedConfig(hostile.baseUrl());
        castWithTheButton();

        if (!startedSize.isEmpty()) {
            QTRY_COMPARE(engineCalls(QStringLiteral("startCapture")), 1);
            QCOMPARE(QStringLiteral("%1x%2").arg(lastStart().width).arg(lastStart().height),
                     startedSize);
            return;
        }
        QTRY_COMPARE(visibleMessageBoxes().size(), 1);
        QCOMPARE(takeMessages(), QStringList{QStringLiteral("服务器连接失败，请检查网络")});
        QCOMPARE(engineCalls(QStringLiteral("startCapture")), 0);
        QVERIFY(code()->isEnabled() && castButton()->isEnabled());
        const double peak = peakResidentMiB();
        qInfo("peak resident memory of the test program: %.1f MiB", peak);
        QVERIFY(peak > 0 && peak < 200);
    }

    void longRepliesAreLoggedCut() {
        TestServer verbose;
        const QString error =
            verbose.start({QStringLiteral("--refuse"), QStringLiteral("connect:500:投屏码已过期"),
                           QStringLiteral("--pad"), QStringLiteral("connect:200000")});
        QVERIFY2(error.isEmpty(), qPrintable(error));
        writeAcceptedConfig(verbose.baseUrl());
        LogRecorder log;
        castWithTheButton();
        QTRY_COMPARE(visibleMessageBoxes().size(), 1);
        QCOMPARE(takeMessages(), QStringList{QStringLiteral("投屏码已过期")});

        int cut = 0;
        for (const QString &message : log.messages()) {
            QVERIFY2(message.size() < 5000, qPrintable(message.left(200)));
            cut += message.contains(QStringLiteral("返回内容：")) &&
                           message.contains(QLatin1String("...[cut after"))
                       ? 1
                       : 0;
        }
        QCOMPARE(cut, 1);
    }

    // A refusal's message of one endless word is cut before the box lays
    // it out; the time until the box shows is printed for the record.
    void endlessRefusalMessageIsCut() {
        TestServer wordy;
        const QString word(100000, QLatin1Char('a'));
        const QString error =
            wordy.start({QStringLiteral("--refuse"), QStringLiteral("connect:500:") + word});
        QVERIFY2(error.isEmpty(), qPrintable(error));
        writeAcceptedConfig(wordy.baseUrl());
        QTest::keyClicks(code(), QStringLiteral("ab12cd"));
        QElapsedTimer clock;
        clock.start();
        castButton()->click();
        QTRY_COMPARE(visibleMessageBoxes().size(), 1);
        qInfo("refusal box shown %lld ms after the click", clock.elapsed());
        QLabel *label = visibleMessageBoxes().first()->findChild<QLabel *>("tip_content");
        // Neither the text nor the tooltip holds more than the cut message.
        QVERIFY2(label->toolTip().size() < 1000,
                 qPrintable(QString::number(label->toolTip().size())));
        const QString shown = takeMessages().value(0);
        QVERIFY2(shown.size() < 1000, qPrintable(QString::number(shown.size())));
        QVERIFY(shown.startsWith(QLatin1String("aaaa")) && shown.endsWith(QChar(0x2026)));
    }

    // A "msg" that is no text: the flow's own message.
    void refusalWithoutATextMessageShowsTheNetworkMessage() {
        TestServer odd;
        const QString error =
            odd.start({QStringLiteral("--refuse"), QStringLiteral("connect:500:json={\"a\":1}")});
        QVERIFY2(error.isEmpty(), qPrintable(error));
        writeAcceptedConfig(odd.baseUrl());
        castWithTheButton();
        QTRY_COMPARE(visibleMessageBoxes().size(), 1);
        QCOMPARE(takeMessages(), QStringList{QStringLiteral("服务器连接失败，请检查网络")});
    }

    void audioFailureKeepsTheCast() {
        startCast();
        QVERIFY(engine.notifyFromThread(1008));
        QTRY_COMPARE(visibleMessageBoxes().size(), 1);
        QCOMPARE(takeMessages(), QStringList{QStringLiteral("音频异常（1008），请联系客服")});
        QVERIFY(casting());
        QCOMPARE(engineCalls(QStringLiteral("stopCapture")), 0);
        QVERIFY(window->isMinimized());
        QTest::qWait(300);
        QCOMPARE(server.requests(QStringLiteral("disconnect")).size(), 0);
    }

    void castFailureReturnsToCodeEntryAndReportsTheCode() {
        startCast();
        const int disconnectsBefore = server.requests(QStringLiteral("disconnect")).size();
        QVERIFY(engine.notifyFromThread(1003));
        QTRY_COMPARE(visibleMessageBoxes().size(), 1);
        QCOMPARE(takeMessages(), QStringList{QStringLiteral("投屏异常（1003），请联系客服")});
        QVERIFY(!casting());
        // The sound's warning of the ended cast, arriving late, covers nothing.
        QMetaObject::invokeMethod(window, "cancelResultNotice", Qt::QueuedConnection,
                                  Q_ARG(int, 1005));
        QTest::qWait(300);
        QVERIFY(visibleMessageBoxes().isEmpty());
        QVERIFY(takeMessages().isEmpty());
        // The engine's ended cast is freed before the next one.
        QCOMPARE(engineCalls(QStringLiteral("stopCapture")), 1);
        QVERIFY(!window->isMinimized());
        QVERIFY(code()->isVisible() && code()->isEnabled());
        QVERIFY(child<QPushButton>(window, "quitcast")->isHidden());
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QCOMPARE(window->pos(), QPoint((screen.width() - window->width()) / 2,
                                       (screen.height() - window->height()) / 2));

        QTRY_COMPARE(server.requests(QStringLiteral("disconnect")).size(), disconnectsBefore + 1);
        const QJsonObject disconnect = server.requests(QStringLiteral("disconnect")).last();
        const QJsonObject fields = disconnect.value(QStringLiteral("fields")).toObject();
        QCOMPARE(fields.value(QStringLiteral("errorCode")).toString(), QStringLiteral("1003"));
        QCOMPARE(fields.value(QStringLiteral("code")).toString(), QString::fromLatin1(castCode));
        QVERIFY(disconnect.value(QStringLiteral("sign_ok")).toBool());
    }

    void receiverLostShowsTheConnectionMessage() {
        startCast();
        QVERIFY(engine.notifyFromThread(-1));
        QTRY_COMPARE(visibleMessageBoxes().size(), 1);
        QCOMPARE(takeMessages(), QStringList{QStringLiteral("TV端连接失败，请检查网络")});
        QVERIFY(!casting());
        QCOMPARE(engineCalls(QStringLiteral("stopCapture")), 1);
        QTRY_COMPARE(lastDisconnectCode(), QStringLiteral("-1"));
    }

    void failureDuringTheEngineStartEndsTheCastLikeALateOne() {
        // No screen device: the engine's code arrives at registration, on
        // this thread, before the start's result.
        engine.notifyOnRegister(1001);
        QTest::keyClicks(code(), QStringLiteral("ab12cd"));
        QTest::keyClick(code(), Qt::Key_Return);
        QTRY_COMPARE(visibleMessageBoxes().size(), 1);
        QCOMPARE(takeMessages(), QStringList{QStringLiteral("投屏异常（1001），请联系客服")});
        QVERIFY(!casting());
        QVERIFY(code()->isVisible() && code()->isEnabled());
        QCOMPARE(engineCalls(QStringLiteral("stopCapture")), 1);
        QTRY_COMPARE(lastDisconnectCode(), QStringLiteral("1001"));
    }

    void quittingFromTheCastingWindowReportsCodeZero() {
        startCast();
        const int disconnectsBefore = server.requests(QStringLiteral("disconnect")).size();
        QPushButton *quit = child<QPushButton>(castingWindow(), "cancelcast");
        quit->click();
        QCOMPARE(engineCalls(QStringLiteral("stopCapture")), 1);
        QVERIFY(!casting());
        QVERIFY(visibleMessageBoxes().isEmpty());
        QVERIFY(code()->text().isEmpty());
        QVERIFY(code()->isEnabled());
        QVERIFY(!castButton()->isEnabled());
        QTRY_COMPARE(server.requests(QStringLiteral("disconnect")).size(), disconnectsBefore + 1);
        QCOMPARE(lastDisconnectCode(), QStringLiteral("0"));

        // A second cast runs with the same window.
        engine.reset();
        startCast();
    }

    void failedEngineStartStaysAtCodeEntry() {
        engine.reset(-1);
        QTest::keyClicks(code(), QStringLiteral("ab12cd"));
        QTest::keyClick(code(), Qt::Key_Return);
        QTRY_COMPARE(visibleMessageBoxes().size(), 1);
        BaseDialog *box = visibleMessageBoxes().first();
        QVERIFY(!box->isModal());
        QCOMPARE(takeMessages(), QStringList{QStringLiteral("TV端连接失败，请检查网络")});
        QCOMPARE(engineCalls(QStringLiteral("setCallback")), 0);
        QVERIFY(!casting());
        QVERIFY(code()->isEnabled() && castButton()->isEnabled());
        // The server paired the code: it hears that the cast is off.
        QTRY_COMPARE(lastDisconnectCode(), QStringLiteral("-1"));
        QCOMPARE(server.requests(QStringLiteral("disconnect"))
                     .last()
                     .value(QStringLiteral("fields"))
                     .toObject()
                     .value(QStringLiteral("code"))
                     .toString(),
                 QString::fromLatin1(castCode));
    }

    void closingDuringACastPostsNoDisconnect() {
        startCast();
        const int disconnectsBefore = server.requests(QStringLiteral("disconnect")).size();
        window->close();
        QVERIFY(!castingWindow()->isVisible());
        QCOMPARE(engineCalls(QStringLiteral("stopCapture")), 1);
        // An engine notification still queued from before the stop is taken
        // as arriving after the cast: a message, but no disconnect.
        QMetaObject::invokeMethod(window, "cancelResultNotice", Qt::QueuedConnection,
                                  Q_ARG(int, 1003));
        QTRY_COMPARE(visibleMessageBoxes().size(), 1);
        takeMessages();
        QTest::qWait(500);
        QCOMPARE(server.requests(QStringLiteral("disconnect")).size(), disconnectsBefore);
        QCOMPARE(engineCalls(QStringLiteral("stopCapture")), 1);
        QVERIFY(!window->isVisible());
    }

    void closeButtonAsksFirst() {
        QString question;
        answerNextPrompt(QStringLiteral("cancel_button"), &question);
        child<QPushButton>(window, "closeButton")->click();
        QVERIFY(!question.isEmpty());
        QVERIFY(window->isVisible());

        answerNextPrompt(QStringLiteral("ok_button"));
        child<QPushButton>(window, "closeButton")->click();
        QVERIFY(!window->isVisible());
    }

    void minimiseButtonAndDragging() {
        const QPoint start = window->pos();
        QWidget *central = window->centralWidget();
        const QPoint local(5, 200);
        const QPoint global = central->mapToGlobal(local);
        // Any button drags; the move and the release both move the window.
        QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::RightButton, Qt::RightButton,
                          Qt::NoModifier);
        QApplication::sendEvent(central, &press);
        QMouseEvent move(QEvent::MouseMove, local, global + QPoint(30, 20), Qt::NoButton,
                         Qt::RightButton, Qt::NoModifier);
        QApplication::sendEvent(central, &move);
        QCOMPARE(window->pos(), start + QPoint(30, 20));
        QMouseEvent release(QEvent::MouseButtonRelease, local, global + QPoint(40, 30),
                            Qt::RightButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(central, &release);
        QCOMPARE(window->pos(), start + QPoint(40, 30));
        // A release that no press on the window started leaves it in place.
        QMouseEvent strayRelease(QEvent::MouseButtonRelease, local, global + QPoint(300, 300),
                                 Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(central, &strayRelease);
        QCOMPARE(window->pos(), start + QPoint(40, 30));

        child<QPushButton>(window, "minButton")->click();
        QVERIFY(window->isMinimized());
    }
};

QTEST_MAIN(MainWindowCastFlowTest)
#include "tst_mainwindow_castflow.moc"
