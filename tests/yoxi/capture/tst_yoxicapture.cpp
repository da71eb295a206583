// The engine bridge against the fake engine library beside this program:
// arguments as the engine gets them, callback registration, stop results,
// notifications from engine threads, and the capture status.
#include "capture/capturestatus.h"
#include "capture/yoxicapture.h"
#include "fakeengine.h"

#include <QSignalSpy>
#include <QThread>
#include <QtTest>

namespace {

QStringList messages;

void recordMessage(QtMsgType, const QMessageLogContext &, const QString &text) {
    messages.append(text);
}

// Records where and when cancelResult arrives.
class Receiver : public QObject {
    Q_OBJECT
public:
    QList<int> codes;
    QThread *thread = nullptr;

public slots:
    void cancelResultNotice(int code) {
        codes.append(code);
        thread = QThread::currentThread();
    }
};

// A capture as the main window keeps it: moved to a thread object that is
// never started, with its cancelResult connected to a receiver.
struct ThreadedCapture {
    ThreadedCapture() {
        capture->moveToThread(&thread);
        QObject::connect(capture, SIGNAL(cancelResult(int)), &receiver,
                         SLOT(cancelResultNotice(int)));
    }
    ~ThreadedCapture() { delete capture; }

    QThread thread;
    YoxiCapture *capture = new YoxiCapture;
    Receiver receiver;
};

} // namespace

class TestYoxiCapture : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void startPassesArgumentsAsTheEngineTakesThem_data();
    void startPassesArgumentsAsTheEngineTakesThem();
    void startedCastRegistersTheCallbackOnceBeforeTheResult();
    void failedStartRegistersNoCallback();
    void stopWithNoticeEmitsZeroWhateverTheEngineSays();
    void engineThreadNotificationArrivesQueued();
    void codeAfterTheStopIsDropped();
    void codeDeliveredAtRegistrationArrivesAfterTheResult();
    void endedCastIsFreedOnceAndOnlyWhileOpen();
    void captureStatusFlipsAndLogsThePreviousValue();

private:
    FakeEngine engine;
};

void TestYoxiCapture::initTestCase() {
    QVERIFY2(engine.load(), "the fake engine library is not beside the test");
}

void TestYoxiCapture::init() {
    engine.reset();
}

void TestYoxiCapture::startPassesArgumentsAsTheEngineTakesThem_data() {
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<QString>("call");
    QTest::newRow("size kept") << 7000 << 1280 << 720
                               << "startCapture 127.0.0.1 7000 AB12CD 1280x720";
    QTest::newRow("height 0") << 7000 << 1280 << 0
                              << "startCapture 127.0.0.1 7000 AB12CD 1920x1080";
    QTest::newRow("width 0") << 7000 << 0 << 720 << "startCapture 127.0.0.1 7000 AB12CD 1920x1080";
    QTest::newRow("low 16 bits") << 65536 + 7000 << 65536 + 1280 << 65536 * 2 + 720
                                 << "startCapture 127.0.0.1 7000 AB12CD 1280x720";
}

void TestYoxiCapture::startPassesArgumentsAsTheEngineTakesThem() {
    QFETCH(int, port);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(QString, call);
    YoxiCapture capture;
    QByteArray host("127.0.0.1");
    QByteArray code("AB12CD");
    capture.startCapture(host.data(), port, code.data(), width, height);
    QCOMPARE(engine.calls().value(0), call);
}

void TestYoxiCapture::startedCastRegistersTheCallbackOnceBeforeTheResult() {
    YoxiCapture capture;
    QStringList callsAtResult;
    QList<bool> results;
    connect(&capture, &YoxiCapture::captureResult, this, [&](bool result) {
        results.append(result);
        callsAtResult = engine.calls();
    });
    startTestCast(capture);
    QCOMPARE(results, QList<bool>{true});
    QCOMPARE(callsAtResult.size(), 2);
    QVERIFY(callsAtResult[0].startsWith("startCapture 10.0.0.5 7000 AB12CD"));
    QCOMPARE(callsAtResult[1],
             QStringLiteral("setCallback %1").arg(reinterpret_cast<intptr_t>(&capture)));
    QCOMPARE(engine.calls(), callsAtResult);
}

void TestYoxiCapture::failedStartRegistersNoCallback() {
    engine.reset(-1, 0);
    YoxiCapture capture;
    QSignalSpy results(&capture, &YoxiCapture::captureResult);
    startTestCast(capture);
    QCOMPARE(results.size(), 1);
    QCOMPARE(results.first().first().toBool(), false);
    QCOMPARE(engine.calls().size(), 1);
    QVERIFY(!engine.notifyFromThread(1001));
}

void TestYoxiCapture::stopWithNoticeEmitsZeroWhateverTheEngineSays() {
    engine.reset(1, -1); // the engine had no cast
    YoxiCapture capture;
    QCOMPARE(cancelCodesOfTwoStops(capture), (QList<QList<int>>{{0}, {}}));
    QCOMPARE(engine.calls(), (QStringList{"stopCapture", "stopCapture"}));
}

void TestYoxiCapture::engineThreadNotificationArrivesQueued() {
    ThreadedCapture threaded;
    startTestCast(*threaded.capture);
    messages.clear();
    qInstallMessageHandler(recordMessage);
    const bool notified = engine.notifyFromThread(1003);
    qInstallMessageHandler(nullptr);
    QVERIFY(notified);
    QVERIFY(threaded.receiver.codes.isEmpty()); // not delivered on the engine's thread
    QVERIFY(messages.join('\n').contains("captureNotice result ============= "));

    QTRY_COMPARE(threaded.receiver.codes, QList<int>{1003});
    QCOMPARE(threaded.receiver.thread, QThread::currentThread());
}

// The user quits while an engine code is on its way: the code is dropped, and
// so is one raised after the stop.
void TestYoxiCapture::codeAfterTheStopIsDropped() {
    ThreadedCapture threaded;
    startTestCast(*threaded.capture);
    QVERIFY(engine.notifyFromThread(-1));
    threaded.capture->stopCapture(false);
    QVERIFY(engine.notifyFromThread(1003));
    QTest::qWait(200);
    QCOMPARE(threaded.receiver.codes, QList<int>());

    // The next cast's codes arrive again.
    startTestCast(*threaded.capture);
    QVERIFY(engine.notifyFromThread(1008));
    QTRY_COMPARE(threaded.receiver.codes, QList<int>{1008});
}

void TestYoxiCapture::codeDeliveredAtRegistrationArrivesAfterTheResult() {
    ThreadedCapture threaded;
    QStringList order;
    connect(threaded.capture, &YoxiCapture::captureResult, this,
            [&](bool result) { order.append(QStringLiteral("result %1").arg(result)); });
    connect(threaded.capture, &YoxiCapture::cancelResult, this,
            [&](int code) { order.append(QStringLiteral("code %1").arg(code)); });
    engine.notifyOnRegister(1001);
    startTestCast(*threaded.capture);
    QCOMPARE(order, QStringList{"result 1"});
    QTRY_COMPARE(order, (QStringList{"result 1", "code 1001"}));
}

void TestYoxiCapture::endedCastIsFreedOnceAndOnlyWhileOpen() {
    YoxiCapture capture;
    capture.releaseEndedCast(); // nothing started
    startTestCast(capture);
    capture.releaseEndedCast();
    capture.releaseEndedCast();
    QCOMPARE(engine.calls().filter("stopCapture").size(), 1);
    // A cast the user stopped is not stopped again.
    startTestCast(capture);
    capture.stopCapture(true);
    capture.releaseEndedCast();
    QCOMPARE(engine.calls().filter("stopCapture").size(), 2);
}

void TestYoxiCapture::captureStatusFlipsAndLogsThePreviousValue() {
    CaptureStatus status;
    QVERIFY(!status.getCaptureStatus());
    messages.clear();
    qInstallMessageHandler(recordMessage);
    status.changeStatus();
    status.changeStatus();
    status.changeStatus();
    qInstallMessageHandler(nullptr);
    QVERIFY(status.getCaptureStatus());
    QCOMPARE(messages, (QStringList{"changeStatus before : false", "changeStatus before : true",
                                    "changeStatus before : false"}));
}

QTEST_MAIN(TestYoxiCapture)
#include "tst_yoxicapture.moc"
