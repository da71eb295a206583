// The heartbeat: one interval before the first beat, signed beats with the
// cast's code, the keep-awake request, and the disconnect on stop.
#include "api/heartbeat/heartutil.h"
#include "apitestsupport.h"
#include "httprecorder.h"
#include "support/messageboxes.h"
#include "support/testconfig.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <QUrlQuery>
#include <QtTest>

namespace {

const int interval = 300;

QStringList messages;

void recordMessage(QtMsgType, const QMessageLogContext &, const QString &text) {
    messages.append(text);
}

bool logged(const QString &part) {
    for (const QString &message : messages) {
        if (message.contains(part)) {
            return true;
        }
    }
    return false;
}

// The fields of a recorded heartbeat, decoded from its query.
QUrlQuery heartQuery(const RecordedRequest &request) {
    return QUrlQuery(QUrl::fromEncoded(request.target).query(QUrl::FullyDecoded));
}

} // namespace

class TestHeartUtil : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void beatsEveryIntervalAfterTheFirstInterval();
    void stopSendsTheDisconnectAndEndsTheBeats();
    void stopBeforeAnyStartLeavesOtherTimersAlone();
    void secondCastBeatsWithItsOwnCode();
    void foreignTimerEventsSendNothing();

private:
    QList<RecordedRequest> requestsOf(const QByteArray &method) const;

    HttpRecorder recorder;
};

void TestHeartUtil::initTestCase() {
    QVERIFY(recorder.listen());
    setServerUrl(recorder.baseUrl());
}

void TestHeartUtil::init() {
    messages.clear();
    qInstallMessageHandler(recordMessage);
}

void TestHeartUtil::cleanup() {
    qInstallMessageHandler(nullptr);
    closeBoxes();
}

QList<RecordedRequest> TestHeartUtil::requestsOf(const QByteArray &method) const {
    QList<RecordedRequest> matching;
    for (const RecordedRequest &request : recorder.requests()) {
        if (request.method == method) {
            matching.append(request);
        }
    }
    return matching;
}

void TestHeartUtil::beatsEveryIntervalAfterTheFirstInterval() {
    const int before = requestsOf("GET").size();
    HeartUtil heart(nullptr, interval);
    QElapsedTimer clock;
    clock.start();
    heart.startHeart(QStringLiteral("AB12CD"));
    QVERIFY(logged(QStringLiteral("keepAwake: system and display required")));

    QTRY_COMPARE_WITH_TIMEOUT(requestsOf("GET").size(), before + 1, 5000);
    QVERIFY2(clock.elapsed() >= interval, qPrintable(QString::number(clock.elapsed())));
    QTRY_COMPARE_WITH_TIMEOUT(requestsOf("GET").size(), before + 2, 5000);
    QVERIFY(clock.elapsed() >= 2 * interval);

    const RecordedRequest beat = requestsOf("GET").last();
    QVERIFY(beat.target.startsWith("/prod-api//send/pc/v1/heart?code=AB12CD&sign="));
    const QUrlQuery fields = heartQuery(beat);
    const QString timestamp = fields.queryItemValue(QStringLiteral("timestamp"));
    QVERIFY(qAbs(timestamp.toLongLong() - QDateTime::currentMSecsSinceEpoch()) < 60000);
    QCOMPARE(fields.queryItemValue(QStringLiteral("sign")),
             expectedSign("codeAB12CDtimestamp" + timestamp));
    heart.stopHeart(QStringLiteral("0"));
}

void TestHeartUtil::stopSendsTheDisconnectAndEndsTheBeats() {
    HeartUtil heart(nullptr, interval);
    heart.startHeart(QStringLiteral("AB12CD"));
    const int posts = requestsOf("POST").size();
    heart.stopHeart(QStringLiteral("1003"));
    QVERIFY(logged(QStringLiteral("keepAwake: system and display released")));
    QTRY_COMPARE_WITH_TIMEOUT(requestsOf("POST").size(), posts + 1, 5000);
    const int beats = requestsOf("GET").size();

    const RecordedRequest disconnect = requestsOf("POST").last();
    QCOMPARE(disconnect.target, QByteArray("/prod-api//send/pc/v1/disConnect"));
    const QJsonObject body = QJsonDocument::fromJson(disconnect.body).object();
    QCOMPARE(body.keys(), (QStringList{"code", "errorCode", "sign", "timestamp"}));
    QCOMPARE(body.value("code").toString(), QStringLiteral("AB12CD"));
    QCOMPARE(body.value("errorCode").toString(), QStringLiteral("1003"));
    QCOMPARE(body.value("sign").toString(),
             expectedSign("codeAB12CDerrorCode1003timestamp" + body.value("timestamp").toString()));

    QTest::qWait(3 * interval);
    QCOMPARE(requestsOf("GET").size(), beats);
}

void TestHeartUtil::stopBeforeAnyStartLeavesOtherTimersAlone() {
    HeartUtil heart(nullptr, interval);
    QTimer other;
    other.start(60000);
    const int posts = requestsOf("POST").size();
    heart.stopHeart(QStringLiteral("-1"));
    QVERIFY(other.isActive());
    for (const QString &message : messages) {
        QVERIFY2(!message.contains(QStringLiteral("killTimer")), qPrintable(message));
    }
    QTRY_COMPARE_WITH_TIMEOUT(requestsOf("POST").size(), posts + 1, 5000);
    const QJsonObject body = QJsonDocument::fromJson(requestsOf("POST").last().body).object();
    QCOMPARE(body.value("code"), QJsonValue(QString()));
    QCOMPARE(body.value("errorCode").toString(), QStringLiteral("-1"));
}

void TestHeartUtil::secondCastBeatsWithItsOwnCode() {
    HeartUtil heart(nullptr, interval);
    heart.startHeart(QStringLiteral("AAAAAA"));
    heart.stopHeart(QStringLiteral("0"));
    const int before = requestsOf("GET").size();
    heart.startHeart(QStringLiteral("BBBBBB"));
    QTRY_COMPARE_WITH_TIMEOUT(requestsOf("GET").size(), before + 2, 5000);
    heart.stopHeart(QStringLiteral("0"));
    const QList<RecordedRequest> beats = requestsOf("GET").mid(before);
    for (const RecordedRequest &beat : beats) {
        QCOMPARE(heartQuery(beat).queryItemValue(QStringLiteral("code")), QStringLiteral("BBBBBB"));
    }
}

void TestHeartUtil::foreignTimerEventsSendNothing() {
    HeartUtil heart(nullptr, 60000);
    heart.startHeart(QStringLiteral("AB12CD"));
    const int before = recorder.requests().size();
    QTimerEvent foreign(heart.startTimer(60000) + 1000);
    QCoreApplication::sendEvent(&heart, &foreign);
    QTest::qWait(200);
    QCOMPARE(recorder.requests().size(), before);
    heart.stopHeart(QStringLiteral("0"));
}

QTEST_MAIN(TestHeartUtil)
#include "tst_heartutil.moc"
