// The install report as cast-server receives it.
#include "api/install/active.h"
#include "support/castserver.h"
#include "support/testconfig.h"

#include <QSysInfo>
#include <QtTest>

class InstallReportTest : public QObject {
    Q_OBJECT
private slots:
    void everyReportIsSentSignedWithFixedFields();
};

void InstallReportTest::everyReportIsSentSignedWithFixedFields() {
    ConfigScope scope;
    TestServer server;
    const QString error = server.start({});
    QVERIFY2(error.isEmpty(), qPrintable(error));
    setServerUrl(server.baseUrl());

    Active active;
    active.reportActive();
    active.reportActive();
    QTRY_COMPARE(server.requests().size(), 2);

    QByteArray machineId = QSysInfo::machineUniqueId();
    machineId.truncate(machineId.indexOf('\0') < 0 ? machineId.size() : machineId.indexOf('\0'));
    for (const QJsonObject &request : server.requests()) {
        QCOMPARE(request.value("exchange").toString(), QString("active"));
        QVERIFY(request.value("sign_ok").toBool());
        const QJsonObject fields = request.value("fields").toObject();
        QCOMPARE(fields.keys(), QStringList({"channel", "deviceSystemVersion", "deviceType", "mac",
                                             "name", "sign", "timestamp", "uuid"}));
        QVERIFY(fields.value("mac").isString());
        QCOMPARE(fields.value("mac").toString(), QString());
        QCOMPARE(fields.value("channel").toString(), QString("official"));
        QCOMPARE(fields.value("deviceType").toString(), QString("1"));
        QCOMPARE(fields.value("uuid").toString(), QString::fromUtf8(machineId));
        QCOMPARE(fields.value("name").toString(), QSysInfo::machineHostName());
        QCOMPARE(fields.value("deviceSystemVersion").toString(), QSysInfo::prettyProductName());
    }
}

QTEST_MAIN(InstallReportTest)
#include "tst_install.moc"
