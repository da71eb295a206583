// The upgrade check: how a reply is read, what is stored and announced, how
// the server's package name and version become a plain local file name, and
// the request as cast-server receives it.
#include "api/upgrade/packagename.h"
#include "api/upgrade/yoxiupgrade.h"
#include "app/config/configutil.h"
#include "support/castserver.h"
#include "support/testconfig.h"

#include <QNetworkReply>
#include <QtTest>

namespace {

const char *const absent = "<absent>";

// A finished reply with a fixed body, handed to the upgrade check as the
// network layer would.
class FakeReply : public QNetworkReply {
public:
    explicit FakeReply(const QByteArray &body, NetworkError error = NoError) : m_body(body) {
        setUrl(QUrl("http://127.0.0.1/prod-api//app/v1/upgrade"));
        setOpenMode(QIODevice::ReadOnly | QIODevice::Unbuffered);
        if (error != NoError) {
            setError(error, "fake error");
        }
        setFinished(true);
    }
    void abort() override {}
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return m_body.size() - m_offset; }

protected:
    qint64 readData(char *data, qint64 maxSize) override {
        const qint64 count = qMin(maxSize, qint64(m_body.size()) - m_offset);
        memcpy(data, m_body.constData() + m_offset, size_t(count));
        m_offset += count;
        return count;
    }

private:
    QByteArray m_body;
    qint64 m_offset = 0;
};

QByteArray announcement(const QString &name, const QString &version, int type = 1) {
    return QString(R"({"code":200,"msg":"success","data":{"isUpgrade":1,"version":"%1",)"
                   R"("url":"http://127.0.0.1/files/pkg","name":"%2","upgradeType":%3}})")
        .arg(version, name)
        .arg(type)
        .toUtf8();
}

} // namespace

class UpgradeTest : public QObject {
    Q_OBJECT
private slots:
    void init() { ConfigScope::clear(); }

    void packageNameIsPlain_data();
    void packageNameIsPlain();
    void announcementIsStoredAndNoticed_data();
    void announcementIsStoredAndNoticed();
    void longVersionIsCutForShowing();
    void unusableRepliesChangeNothing_data();
    void unusableRepliesChangeNothing();
    void checkAgainstServerSignsAndAnnounces();
    void checkAgainstServerWithoutUpgradeNoticesNothing();

private:
    // Runs one reply through the check; returns the notices it emitted.
    QList<QList<QVariant>> deliver(const QByteArray &body,
                                   QNetworkReply::NetworkError error = QNetworkReply::NoError);
};

void UpgradeTest::packageNameIsPlain_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("expected");
    QTest::newRow("ordinary") << "setup.exe"
                              << "2.1.0"
                              << "exe"
                              << "setup_2.1.0.exe";
    QTest::newRow("no dot") << "setup"
                            << "2.1.0"
                            << "exe"
                            << "setup_2.1.0.exe";
    QTest::newRow("two dots") << "a.b.exe"
                              << "2.1.0"
                              << "exe"
                              << "a.b_2.1.0.exe";
    QTest::newRow("other suffix") << "setup.exe"
                                  << "2.1.0"
                                  << "msi"
                                  << "setup_2.1.0.msi";
    QTest::newRow("non-ASCII kept") << "岚栖投屏.exe"
                                    << "2.1.0"
                                    << "exe"
                                    << "岚栖投屏_2.1.0.exe";
    QTest::newRow("parent folders") << "../../evil.exe"
                                    << "2.1.0"
                                    << "exe"
                                    << "evil_2.1.0.exe";
    QTest::newRow("backslash folders") << "..\\..\\Windows\\evil.exe"
                                       << "2.1.0"
                                       << "exe"
                                       << "evil_2.1.0.exe";
    QTest::newRow("absolute with drive") << "C:\\Windows\\System32\\evil.exe"
                                         << "2.1.0"
                                         << "exe"
                                         << "evil_2.1.0.exe";
    QTest::newRow("drive relative") << "D:evil.exe"
                                    << "2.1.0"
                                    << "exe"
                                    << "evil_2.1.0.exe";
    QTest::newRow("absolute unix") << "/etc/evil.exe"
                                   << "2.1.0"
                                   << "exe"
                                   << "evil_2.1.0.exe";
    QTest::newRow("version with folders") << "setup.exe"
                                          << "../../2.1.0"
                                          << "exe"
                                          << "setup_2.1.0.exe";
    QTest::newRow("version as drive path") << "setup.exe"
                                           << "C:\\x\\2.1.0"
                                           << "exe"
                                           << "setup_2.1.0.exe";
    QTest::newRow("forbidden characters") << "se<t>u|p?*\":.exe"
                                          << "2.1\t.0"
                                          << "exe"
                                          << "setup_2.1.0.exe";
    QTest::newRow("name only dots") << ".."
                                    << "2.1.0"
                                    << "exe"
                                    << "_2.1.0.exe";
    QTest::newRow("version only dots") << "setup.exe"
                                       << ".."
                                       << "exe"
                                       << "setup_.exe";
    QTest::newRow("suffix with folders") << "setup.exe"
                                         << "2.1.0"
                                         << "../msi"
                                         << "setup_2.1.0.msi";
    // U+202E would show "setup_2.1.0.exe" reversed; U+200B and U+FEFF hide in
    // the name, U+0085 and U+009C are C1 controls.
    QTest::newRow("direction and format marks")
        << QString::fromUtf8("se\u202Etup\u200B.exe") << QString::fromUtf8("2.1\uFEFF.0\u0085")
        << QString::fromUtf8("e\u009Cxe") << "setup_2.1.0.exe";
    QTest::newRow("format mark outside the BMP")
        << QString::fromUcs4(U"set\U000E0001up.exe") << "2.1.0"
        << "exe"
        << "setup_2.1.0.exe";
    QTest::newRow("long name keeps its suffix") << QString(150, 'a') + ".exe"
                                                << "2.1.0"
                                                << "exe" << QString(90, 'a') + "_2.1.0.exe";
    // Cut where a character of two UTF-16 units would be split.
    QTest::newRow("long name of wide characters")
        << QString::fromUcs4(U"a") + QString::fromUcs4(U"\U0001F600").repeated(60) + ".exe"
        << "2.1.0"
        << "exe"
        << QString::fromUcs4(U"a") + QString::fromUcs4(U"\U0001F600").repeated(44) + "_2.1.0.exe";
}

void UpgradeTest::packageNameIsPlain() {
    QFETCH(QString, name);
    QFETCH(QString, version);
    QFETCH(QString, suffix);
    QFETCH(QString, expected);
    QCOMPARE(PackageName::compose(name, version, suffix), expected);
}

QList<QList<QVariant>> UpgradeTest::deliver(const QByteArray &body,
                                            QNetworkReply::NetworkError error) {
    YoxiUpgrade upgrade;
    QSignalSpy notices(&upgrade, &YoxiUpgrade::upgradeNotice);
    FakeReply reply(body, error);
    const bool invoked = QMetaObject::invokeMethod(&upgrade, "upgradeResult", Qt::DirectConnection,
                                                   Q_ARG(QNetworkReply *, &reply));
    if (!invoked) {
        qWarning("upgradeResult could not be invoked");
        return {{QVariant("not invoked")}};
    }
    return notices;
}

void UpgradeTest::announcementIsStoredAndNoticed_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("configuredSuffix");
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("packageName");
    QTest::addColumn<int>("type");

    const QString url = "http://127.0.0.1/files/pkg";
    QTest::newRow("forced") << announcement("setup.exe", "2.1.0", 1) << "" << url << "setup.exe"
                            << "setup_2.1.0.exe" << 1;
    QTest::newRow("no dot") << announcement("setup", "2.1.0", 0) << "" << url << "setup"
                            << "setup_2.1.0.exe" << 0;
    QTest::newRow("two dots") << announcement("a.b.exe", "2.1.0") << "" << url << "a.b.exe"
                              << "a.b_2.1.0.exe" << 1;
    QTest::newRow("configured suffix")
        << announcement("setup.exe", "2.1.0") << "msi" << url << "setup.exe"
        << "setup_2.1.0.msi" << 1;
    QTest::newRow("traversal in name and version")
        << announcement("../../../Startup/evil.exe", "..\\\\..\\\\2.1.0") << "" << url
        << "../../../Startup/evil.exe"
        << "evil_2.1.0.exe" << 1;
    QTest::newRow("missing url and type")
        << QByteArray(R"({"code":200,"data":{"isUpgrade":1,"version":"3.0","name":"p.exe"}})") << ""
        << ""
        << "p.exe"
        << "p_3.0.exe" << 0;
    QTest::newRow("flags as numeric text")
        << QByteArray(
               R"({"code":200,"data":{"isUpgrade":"1","version":"2.1.0",)"
               R"("url":"http://127.0.0.1/files/pkg","name":"setup.exe","upgradeType":"1"}})")
        << "" << url << "setup.exe"
        << "setup_2.1.0.exe" << 1;
    QTest::newRow("NUL ends the body") << announcement("setup.exe", "2.1.0") + '\0' + "garbage"
                                       << "" << url << "setup.exe"
                                       << "setup_2.1.0.exe" << 1;
}

void UpgradeTest::announcementIsStoredAndNoticed() {
    QFETCH(QByteArray, body);
    QFETCH(QString, configuredSuffix);
    QFETCH(QString, url);
    QFETCH(QString, fileName);
    QFETCH(QString, packageName);
    QFETCH(int, type);

    ConfigUtil config;
    if (!configuredSuffix.isEmpty()) {
        config.setValue(config.upgradePackageSuffix, configuredSuffix);
    }
    const auto notices = deliver(body);
    QCOMPARE(notices.size(), 1);
    QCOMPARE(notices.first().at(1).toInt(), type);
    QCOMPARE(config.getValue(config.downloadUrl, absent), url);
    QCOMPARE(config.getValue(config.fileName, absent), fileName);
    QCOMPARE(config.getValue(config.upgradePackageName, absent), packageName);
}

void UpgradeTest::longVersionIsCutForShowing() {
    const QString version(100000, QLatin1Char('9'));
    const auto notices = deliver(announcement("setup.exe", version));
    QCOMPARE(notices.size(), 1);
    const QString shown = notices.first().at(0).toString();
    QVERIFY2(shown.size() < 1000, qPrintable(QString::number(shown.size())));
    QVERIFY(shown.endsWith(QChar(0x2026)));
}

void UpgradeTest::unusableRepliesChangeNothing_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("error");
    const QByteArray good = announcement("setup.exe", "2.1.0");
    QTest::newRow("code as a string")
        << QByteArray(R"({"code":"200","data":{"isUpgrade":1,"version":"2.1.0","name":"s.exe"}})")
        << 0;
    QTest::newRow("no upgrade") << QByteArray(
                                       R"({"code":200,"data":{"isUpgrade":0,"version":"1"}})")
                                << 0;
    QTest::newRow("refused") << QByteArray(R"({"code":500,"msg":"busy"})") << 0;
    QTest::newRow("not JSON") << QByteArray("<html>502 Bad Gateway</html>") << 0;
    QTest::newRow("JSON array") << QByteArray("[1,2,3]") << 0;
    QTest::newRow("empty body") << QByteArray() << 0;
    QTest::newRow("network error") << good << int(QNetworkReply::ConnectionRefusedError);
}

void UpgradeTest::unusableRepliesChangeNothing() {
    QFETCH(QByteArray, body);
    QFETCH(int, error);
    ConfigUtil config;
    QCOMPARE(deliver(body, QNetworkReply::NetworkError(error)).size(), 0);
    for (const QString &key : {config.downloadUrl, config.fileName, config.upgradePackageName}) {
        QCOMPARE(config.getValue(key, absent), QString(absent));
    }
}

void UpgradeTest::checkAgainstServerSignsAndAnnounces() {
    TestServer server;
    // The name hides a direction change (U+202E) and a zero-width space.
    const QString name = QString::fromUtf8("../../evil/se\u202Etu\u200Bp.exe");
    const QString error =
        server.start({"--upgrade-version", "2.1.0", "--upgrade-name", name, "--upgrade-type", "1",
                      "--upgrade-url", "http://127.0.0.1:9/files/setup.exe"});
    QVERIFY2(error.isEmpty(), qPrintable(error));
    setServerUrl(server.baseUrl());

    YoxiUpgrade upgrade;
    QSignalSpy notices(&upgrade, &YoxiUpgrade::upgradeNotice);
    upgrade.checkGrade("official", "1.0");
    QTRY_COMPARE(notices.count(), 1);
    QCOMPARE(notices.first().at(0).toString(), QString("2.1.0"));
    QCOMPARE(notices.first().at(1).toInt(), 1);
    ConfigUtil config;
    QCOMPARE(config.getValue(config.upgradePackageName, absent), QString("setup_2.1.0.exe"));
    QCOMPARE(config.getValue(config.downloadUrl, absent),
             QString("http://127.0.0.1:9/files/setup.exe"));
    QCOMPARE(config.getValue(config.fileName, absent), name);

    const QList<QJsonObject> requests = server.requests();
    QCOMPARE(requests.size(), 1);
    const QJsonObject fields = requests.first().value("fields").toObject();
    QCOMPARE(requests.first().value("exchange").toString(), QString("upgrade"));
    QVERIFY(requests.first().value("sign_ok").toBool());
    QCOMPARE(fields.value("channelNo").toString(), QString("official"));
    QCOMPARE(fields.value("version").toString(), QString("1.0"));
    QCOMPARE(fields.value("systemType").toString(), QString("1"));
    QVERIFY(qAbs(fields.value("timestamp").toString().toLongLong() -
                 QDateTime::currentMSecsSinceEpoch()) < 60000);

    // A second check on the same object hands its reply to the slot once.
    upgrade.checkGrade("official", "1.0");
    QTRY_COMPARE(notices.count(), 2);
    QTest::qWait(200);
    QCOMPARE(notices.count(), 2);
}

void UpgradeTest::checkAgainstServerWithoutUpgradeNoticesNothing() {
    TestServer server;
    const QString error = server.start({});
    QVERIFY2(error.isEmpty(), qPrintable(error));
    setServerUrl(server.baseUrl());

    YoxiUpgrade upgrade;
    QSignalSpy notices(&upgrade, &YoxiUpgrade::upgradeNotice);
    upgrade.checkGrade("official", "1.0.0");
    QTRY_COMPARE(server.requests().size(), 1);
    QTest::qWait(300);
    QCOMPARE(notices.count(), 0);
    ConfigUtil config;
    QCOMPARE(config.getValue(config.upgradePackageName, absent), QString(absent));
}

QTEST_MAIN(UpgradeTest)
#include "tst_upgrade.moc"
