// The engine bridge when the engine cannot be used: no library beside the
// program, or a library without one of the three exports.
#include "capture/yoxicapture.h"
#include "fakeengine.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

QStringList messages;

void recordMessage(QtMsgType, const QMessageLogContext &, const QString &text) {
    messages.append(text);
}

} // namespace

class TestEngineLoadFailure : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void startEmitsNothingAndTriesAgainNextTime();
    void stopStillReportsTheStop();
};

void TestEngineLoadFailure::init() {
    messages.clear();
    qInstallMessageHandler(recordMessage);
}

void TestEngineLoadFailure::cleanup() {
    qInstallMessageHandler(nullptr);
}

void TestEngineLoadFailure::startEmitsNothingAndTriesAgainNextTime() {
    YoxiCapture capture;
    QSignalSpy results(&capture, &YoxiCapture::captureResult);
    QSignalSpy cancels(&capture, &YoxiCapture::cancelResult);
    QByteArray host("10.0.0.5");
    QByteArray code("AB12CD");
    capture.startCapture(host.data(), 7000, code.data(), 1920, 1080);
    capture.startCapture(host.data(), 7000, code.data(), 1920, 1080);
    QCOMPARE(results.size(), 0);
    QCOMPARE(cancels.size(), 0);
    QCOMPARE(messages.filter(QStringLiteral("load fail")).size(), 2);
#ifdef FAKE_ENGINE_WITHOUT_SET_CALLBACK
    // The library is there but incomplete: its start is never called.
    FakeEngine engine;
    QVERIFY(engine.load());
    QCOMPARE(engine.calls(), QStringList());
#endif
}

void TestEngineLoadFailure::stopStillReportsTheStop() {
    YoxiCapture capture;
    QSignalSpy cancels(&capture, &YoxiCapture::cancelResult);
    capture.stopCapture(true);
    QCOMPARE(cancels.size(), 1);
    QCOMPARE(cancels.first().first().toInt(), 0);
    capture.stopCapture(false);
    QCOMPARE(cancels.size(), 1);
}

QTEST_MAIN(TestEngineLoadFailure)
#include "tst_engineloadfailure.moc"
