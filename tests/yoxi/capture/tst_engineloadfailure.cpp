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
    void startFailsAndTriesAgainNextTime();
    void stopStillReportsTheStop();
};

void TestEngineLoadFailure::init() {
    messages.clear();
    qInstallMessageHandler(recordMessage);
}

void TestEngineLoadFailure::cleanup() {
    qInstallMessageHandler(nullptr);
}

// A failed start each time, with the missing file or export named in the log.
void TestEngineLoadFailure::startFailsAndTriesAgainNextTime() {
    YoxiCapture capture;
    QSignalSpy results(&capture, &YoxiCapture::captureResult);
    QSignalSpy cancels(&capture, &YoxiCapture::cancelResult);
    startTestCast(capture);
    startTestCast(capture);
    QCOMPARE(results.size(), 2);
    QCOMPARE(results.first().first().toBool(), false);
    QCOMPARE(results.last().first().toBool(), false);
    QCOMPARE(cancels.size(), 0);
    const QStringList failures = messages.filter(QStringLiteral("load fail"));
    QCOMPARE(failures.size(), 2);
#ifdef FAKE_ENGINE_WITHOUT_SET_CALLBACK
    QVERIFY2(failures.first().contains(QLatin1String("lacks the export(s) setCallback")),
             qPrintable(failures.first()));
#else
    QVERIFY2(failures.first().contains(QLatin1String("libpixpipe.so")) ||
                 failures.first().contains(QLatin1String("pixpipe.dll")),
             qPrintable(failures.first()));
#endif
#ifdef FAKE_ENGINE_WITHOUT_SET_CALLBACK
    // The library is there but incomplete: its start is never called.
    FakeEngine engine;
    QVERIFY(engine.load());
    QCOMPARE(engine.calls(), QStringList());
#endif
}

void TestEngineLoadFailure::stopStillReportsTheStop() {
    YoxiCapture capture;
    QCOMPARE(cancelCodesOfTwoStops(capture), (QList<QList<int>>{{0}, {}}));
}

QTEST_MAIN(TestEngineLoadFailure)
#include "tst_engineloadfailure.moc"
