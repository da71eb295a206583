// Signed requests: the signature, the GET query, the POST body, the URL as
// sent, agreement with cast-server, and TLS with Qt's secure defaults.
#include "api/network/networkutil.h"
#include "apitestsupport.h"
#include "app/config/configutil.h"
#include "httprecorder.h"
#include "peakmemory.h"
#include "support/castserver.h"
#include "support/messageboxes.h"
#include "support/testconfig.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>
#include <QProcess>
#include <QSignalSpy>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString heartSign = QStringLiteral("3bcb51cae0eda15df03ce141d81e9af1");

// Accepts TLS connections with the given certificate and records whether
// any HTTP data got through the handshake.
class TlsServer : public QTcpServer {
public:
    TlsServer(const QSslCertificate &certificate, const QSslKey &key)
        : m_certificate(certificate), m_key(key) {}
    bool receivedData = false;

protected:
    void incomingConnection(qintptr descriptor) override {
        auto *socket = new QSslSocket(this);
        socket->setSocketDescriptor(descriptor);
        socket->setLocalCertificate(m_certificate);
        socket->setPrivateKey(m_key);
        connect(socket, &QSslSocket::readyRead, this,
                [this, socket] { receivedData = receivedData || !socket->readAll().isEmpty(); });
        socket->startServerEncryption();
    }

private:
    QSslCertificate m_certificate;
    QSslKey m_key;
};

// Answers one request with a fixed gzip-encoded JSON body and records the
// Accept-Encoding the request carried.
class GzipServer : public QTcpServer {
public:
    explicit GzipServer(const QByteArray &compressed) : m_compressed(compressed) {}
    QByteArray acceptEncoding;

protected:
    void incomingConnection(qintptr descriptor) override {
        auto *socket = new QTcpSocket(this);
        socket->setSocketDescriptor(descriptor);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            m_request += socket->readAll();
            if (!m_request.contains("\r\n\r\n")) {
                return;
            }
            for (const QByteArray &line : m_request.split('\n')) {
                if (line.toLower().startsWith("accept-encoding:")) {
                    acceptEncoding = line.mid(16).trimmed();
                }
            }
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n"
                          "Content-Encoding: gzip\r\nContent-Length: " +
                          QByteArray::number(m_compressed.size()) + "\r\n\r\n" + m_compressed);
        });
    }

private:
    QByteArray m_compressed;
    QByteArray m_request;
};

} // namespace

class TestNetworkUtil : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void signMatchesKnownAnswers_data();
    void signMatchesKnownAnswers();
    void secondSignIncludesFirstSign();
    void signTurnsTextOutsideLatin1IntoQuestionMarks();
    void defaultBaseUrlGivesDoubledSlashSentUnchanged();
    void getQueryOfAlphanumericValuesIsSentAsIs();
    void getQueryPercentEncodesKeysAndValues();
    void getWithoutParametersEndsInQuestionMark();
    void postSendsIndentedUtf8Json();
    void signaturesAgreeWithCastServer();
    void repliesOverOneMiBAreAborted();
    void compressedReplyIsNotInflated();
    void httpsVerifiesTheServerCertificate();

private:
    // Waits for a request to a target starting with targetPrefix among those
    // recorded after the first `from`; a late request of an earlier case
    // (to another path) is passed over. Null when none arrives in time.
    const RecordedRequest *waitForRequestTo(int from, const QByteArray &targetPrefix);

    HttpRecorder recorder;
};

void TestNetworkUtil::initTestCase() {
    QVERIFY(recorder.listen());
    setServerUrl(recorder.baseUrl());
}

void TestNetworkUtil::cleanup() {
    closeBoxes();
    setServerUrl(recorder.baseUrl());
}

const RecordedRequest *TestNetworkUtil::waitForRequestTo(int from, const QByteArray &targetPrefix) {
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        const QList<RecordedRequest> &requests = recorder.requests();
        for (int i = from; i < requests.size(); ++i) {
            if (requests.at(i).target.startsWith(targetPrefix))
                return &requests.at(i);
        }
        QSignalSpy received(&recorder, &HttpRecorder::requestReceived);
        if (waited.elapsed() > 5000 || !received.wait(5000 - int(waited.elapsed())))
            return nullptr;
    }
}

void TestNetworkUtil::signMatchesKnownAnswers_data() {
    QTest::addColumn<QStringList>("fields"); // key, value, key, value... in insertion order
    QTest::addColumn<QString>("sign");
    QTest::newRow("heartbeat") << QStringList{"timestamp", "1700000000000", "code", "AB12CD"}
                               << heartSign;
    QTest::newRow("connect") << QStringList{"code",    "AB12CD", "timestamp",  "1700000000000",
                                            "type",    "1",      "resolution", "1920*1080",
                                            "bitRate", "1300",   "frameRate",  "15"}
                             << QStringLiteral("7ba1abf3761c41dd4f1ce09f5639832d");
}

void TestNetworkUtil::signMatchesKnownAnswers() {
    QFETCH(QStringList, fields);
    QFETCH(QString, sign);
    NetworkUtil util(true);
    util.insertPara(QStringLiteral("stale"), QStringLiteral("value"));
    util.clearPara();
    QVERIFY(util.getRequestParameters().isEmpty());
    for (int i = 0; i + 1 < fields.size(); i += 2) {
        util.insertPara(fields[i], fields[i + 1]);
    }
    util.createSign();
    QCOMPARE(util.getRequestParameters().value(QStringLiteral("sign")).toString(), sign);
}

void TestNetworkUtil::secondSignIncludesFirstSign() {
    NetworkUtil util(true);
    util.insertPara(QStringLiteral("timestamp"), QStringLiteral("1700000000000"));
    util.insertPara(QStringLiteral("code"), QStringLiteral("AB12CD"));
    util.createSign();
    util.createSign();
    QCOMPARE(util.getRequestParameters().value(QStringLiteral("sign")).toString(),
             expectedSign("codeAB12CDsign" + heartSign + "timestamp1700000000000"));
}

void TestNetworkUtil::signTurnsTextOutsideLatin1IntoQuestionMarks() {
    NetworkUtil util(true);
    util.insertPara(QStringLiteral("name"), QStringLiteral("客厅电脑"));
    util.createSign();
    QCOMPARE(util.getRequestParameters().value(QStringLiteral("sign")).toString(),
             expectedSign(QStringLiteral("name????")));
}

void TestNetworkUtil::defaultBaseUrlGivesDoubledSlashSentUnchanged() {
    NetworkUtil util(true);
    setServerUrl(QString());
    const QString defaultUrl = ConfigUtil().getServerUrl() + util.heartPath;
    QVERIFY2(defaultUrl.endsWith(QStringLiteral("/prod-api//send/pc/v1/heart")),
             qPrintable(defaultUrl));

    // The recorder's base has the same shape; the slash pair reaches the wire.
    setServerUrl(recorder.baseUrl());
    const int before = recorder.requests().size();
    QString url = ConfigUtil().getServerUrl() + util.heartPath;
    util.sendGetRequest(url);
    QVERIFY(waitForRequestTo(before, "/prod-api//send/pc/v1/heart?"));
}

void TestNetworkUtil::getQueryOfAlphanumericValuesIsSentAsIs() {
    NetworkUtil util(true);
    util.clearPara();
    util.insertPara(QStringLiteral("timestamp"), QStringLiteral("1700000000000"));
    util.insertPara(QStringLiteral("code"), QStringLiteral("AB12CD"));
    util.createSign();
    const int before = recorder.requests().size();
    QString url = recorder.baseUrl() + util.heartPath;
    util.sendGetRequest(url);

    const QString query = "?code=AB12CD&sign=" + heartSign + "&timestamp=1700000000000";
    QCOMPARE(url, recorder.baseUrl() + "/send/pc/v1/heart" + query);
    const RecordedRequest *request = waitForRequestTo(before, "/prod-api//send/pc/v1/heart");
    QVERIFY(request);
    QCOMPARE(request->method, QByteArray("GET"));
    QCOMPARE(QString::fromLatin1(request->target), "/prod-api//send/pc/v1/heart" + query);
}

void TestNetworkUtil::getQueryPercentEncodesKeysAndValues() {
    NetworkUtil util(true);
    util.insertPara(QStringLiteral("timestamp"), QStringLiteral("1"));
    util.insertPara(QStringLiteral("code"), QStringLiteral("A&B=C #+"));
    util.insertPara(QStringLiteral("k y"), QStringLiteral("客%"));
    util.createSign();
    // Signed over the raw values.
    const QString sign = util.getRequestParameters().value(QStringLiteral("sign")).toString();
    QCOMPARE(sign, expectedSign(QStringLiteral("codeA&B=C #+k y?%timestamp1")));

    const int before = recorder.requests().size();
    QString url = recorder.baseUrl() + util.heartPath;
    util.sendGetRequest(url);
    const QString query =
        "?code=A%26B%3DC%20%23%2B&k%20y=%E5%AE%A2%25&sign=" + sign + "&timestamp=1";
    QCOMPARE(url, recorder.baseUrl() + "/send/pc/v1/heart" + query);
    const RecordedRequest *request = waitForRequestTo(before, "/prod-api//send/pc/v1/heart");
    QVERIFY(request);
    QCOMPARE(QString::fromLatin1(request->target), "/prod-api//send/pc/v1/heart" + query);
}

void TestNetworkUtil::getWithoutParametersEndsInQuestionMark() {
    NetworkUtil util(true);
    util.clearPara();
    QString url = recorder.baseUrl() + util.heartPath;
    util.sendGetRequest(url);
    QCOMPARE(url, recorder.baseUrl() + "/send/pc/v1/heart?");
}

void TestNetworkUtil::postSendsIndentedUtf8Json() {
    NetworkUtil util(true);
    util.insertPara(QStringLiteral("timestamp"), QStringLiteral("1700000000000"));
    util.insertPara(QStringLiteral("name"), QStringLiteral("客厅电脑"));
    util.insertPara(QStringLiteral("code"), QStringLiteral("AB12CD"));
    util.createSign();
    const QJsonObject sent = util.getRequestParameters();
    const int before = recorder.requests().size();
    QString url = recorder.baseUrl() + util.activePath;
    util.sendPostRequest(url);
    QCOMPARE(url, recorder.baseUrl() + "/receive/tv/v1/active"); // left as it was
    // Later changes do not reach a request already sent.
    util.clearPara();

    const RecordedRequest *sentRequest =
        waitForRequestTo(before, "/prod-api//receive/tv/v1/active");
    QVERIFY(sentRequest);
    const RecordedRequest &request = *sentRequest;
    QCOMPARE(request.method, QByteArray("POST"));
    QCOMPARE(request.target, QByteArray("/prod-api//receive/tv/v1/active"));
    QCOMPARE(request.headers.value("content-type"), QByteArray("application/json"));
    const QByteArray expected = "{\n    \"code\": \"AB12CD\",\n    \"name\": \"客厅电脑\",\n"
                                "    \"sign\": \"" +
                                sent.value("sign").toString().toLatin1() +
                                "\",\n    \"timestamp\": \"1700000000000\"\n}\n";
    QCOMPARE(request.body, expected);
}

void TestNetworkUtil::signaturesAgreeWithCastServer() {
    TestServer server;
    const QString error = server.start({});
    QVERIFY2(error.isEmpty(), qPrintable(error));
    const QString base = server.baseUrl();

    NetworkUtil util(true);
    QSignalSpy finished(&util, &NetworkUtil::networkFinished);
    util.insertPara(QStringLiteral("timestamp"), QStringLiteral("1700000000000"));
    util.insertPara(QStringLiteral("code"), QStringLiteral("A&B=C #+客"));
    util.createSign();
    QString heartUrl = base + util.heartPath;
    util.sendGetRequest(heartUrl);
    util.clearPara();
    util.insertPara(QStringLiteral("timestamp"), QStringLiteral("1700000000000"));
    util.insertPara(QStringLiteral("code"), QStringLiteral("客厅"));
    util.insertPara(QStringLiteral("errorCode"), QStringLiteral("1003"));
    util.createSign();
    QString disconnectUrl = base + util.disConnectPath;
    util.sendPostRequest(disconnectUrl);
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 2, 10000);

    const QList<QJsonObject> entries = server.requests();
    QCOMPARE(entries.size(), 2);
    QString heartCode;
    for (const QJsonObject &entry : entries) {
        QVERIFY2(entry.value("sign_ok").toBool(), QJsonDocument(entry).toJson().constData());
        QCOMPARE(entry.value("reply_code").toInt(), 200);
        // The two requests travel side by side: either may be logged first.
        if (entry.value("exchange").toString() == QLatin1String("heart")) {
            heartCode = entry["fields"].toObject()["code"].toString();
        }
    }
    QCOMPARE(heartCode, QStringLiteral("A&B=C #+客"));
}

// Replies sent in pieces without a length: 1 MiB is read whole, one byte
// more aborts the request, which reaches its user as a failed request and
// shows no time-out box.
void TestNetworkUtil::repliesOverOneMiBAreAborted() {
    TestServer server;
    const QString error =
        server.start({QStringLiteral("--pad"), QStringLiteral("heart:1048576"),
                      QStringLiteral("--pad"), QStringLiteral("disconnect:1048577")});
    QVERIFY2(error.isEmpty(), qPrintable(error));
    const QString base = server.baseUrl();

    NetworkUtil util(true);
    util.setReplyTimeout(2000);
    QSignalSpy timedOut(&util, &NetworkUtil::requestTimedOut);
    QList<QPair<QNetworkReply::NetworkError, int>> replies;
    connect(&util, &NetworkUtil::networkFinished, this, [&replies](QNetworkReply *reply) {
        replies.append({reply->error(), int(reply->readAll().size())});
    });
    QString heartUrl = base + util.heartPath;
    util.sendGetRequest(heartUrl);
    QTRY_COMPARE(replies.size(), 1);
    QString disconnectUrl = base + util.disConnectPath;
    util.sendPostRequest(disconnectUrl);
    QTRY_COMPARE(replies.size(), 2);

    QCOMPARE(replies[0].first, QNetworkReply::NoError);
    QCOMPARE(replies[0].second, 1048576);
    QCOMPARE(replies[1].first, QNetworkReply::OperationCanceledError);
    // Past the watch: the aborted reply counts as finished, not as timed out.
    QTest::qWait(2500);
    QCOMPARE(timedOut.size(), 0);
}

// A 200 MiB JSON reply gzip-encoded into a few hundred KiB: the request
// asks for no compression, so the body arrives as sent, cannot be read as
// JSON, and never grows past the cap in memory.
void TestNetworkUtil::compressedReplyIsNotInflated() {
    QProcess gzip;
    gzip.start(QStringLiteral("sh"),
               {QStringLiteral("-c"),
                QStringLiteral("{ printf '{\"code\":200,\"msg\":\"'; head -c 209715200 /dev/zero | "
                               "tr '\\0' a; printf '\"}'; } | gzip -c")});
    if (!gzip.waitForStarted(5000)) {
        QSKIP("sh and gzip are needed to make a compressed reply");
    }
    QVERIFY(gzip.waitForFinished(120000));
    const QByteArray compressed = gzip.readAllStandardOutput();
    QVERIFY(compressed.size() > 1000 && compressed.size() < 1024 * 1024);
    GzipServer server(compressed);
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));

    NetworkUtil util(true);
    bool finished = false;
    QByteArray body;
    connect(&util, &NetworkUtil::networkFinished, this, [&](QNetworkReply *reply) {
        finished = true;
        body = reply->readAll();
    });
    QString url =
        QStringLiteral("http://127.0.0.1:%1/prod-api/").arg(server.serverPort()) + util.upgradePath;
    util.sendPostRequest(url);
    QTRY_VERIFY_WITH_TIMEOUT(finished, 10000);
    QCOMPARE(server.acceptEncoding, QByteArray("identity"));
    QVERIFY(body.size() <= 1024 * 1024);
    QVERIFY(QJsonDocument::fromJson(body).isNull());
    const double peak = peakResidentMiB();
    qInfo("peak resident memory after the gzip reply: %.1f MiB", peak);
    QVERIFY(peak > 0 && peak < 100);
}

void TestNetworkUtil::httpsVerifiesTheServerCertificate() {
    if (!QSslSocket::supportsSsl()) {
        QSKIP("Qt has no TLS backend here");
    }
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString certPath = dir.filePath(QStringLiteral("cert.pem"));
    const QString keyPath = dir.filePath(QStringLiteral("key.pem"));
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj",
                   "/CN=127.0.0.1", "-keyout", keyPath, "-out", certPath});
    if (!openssl.waitForStarted(5000)) {
        QSKIP("the openssl program is needed to make a test certificate");
    }
    QVERIFY(openssl.waitForFinished(30000));
    QCOMPARE(openssl.exitCode(), 0);
    QFile certFile(certPath);
    QFile keyFile(keyPath);
    QVERIFY(certFile.open(QIODevice::ReadOnly) && keyFile.open(QIODevice::ReadOnly));
    TlsServer server(QSslCertificate(&certFile, QSsl::Pem), QSslKey(&keyFile, QSsl::Rsa));
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));

    NetworkUtil util(true);
    util.setReplyTimeout(1000);
    QSignalSpy timedOut(&util, &NetworkUtil::requestTimedOut);
    bool finished = false;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    connect(&util, &NetworkUtil::networkFinished, this, [&](QNetworkReply *reply) {
        finished = true;
        error = reply->error();
    });
    util.insertPara(QStringLiteral("code"), QStringLiteral("AB12CD"));
    util.createSign();
    QString url = QStringLiteral("https://127.0.0.1:%1/prod-api/").arg(server.serverPort()) +
                  util.connectPath;
    util.sendPostRequest(url);
    QTRY_VERIFY_WITH_TIMEOUT(finished, 10000);
    // A self-signed certificate is refused: nothing is sent to an impostor.
    QCOMPARE(error, QNetworkReply::SslHandshakeFailedError);
    QVERIFY(!server.receivedData);
    // It failed before its watch ended: no time-out is reported.
    QTest::qWait(1500);
    QCOMPARE(timedOut.size(), 0);
}

QTEST_MAIN(TestNetworkUtil)
#include "tst_networkutil.moc"
