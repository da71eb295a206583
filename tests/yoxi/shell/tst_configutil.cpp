// ConfigUtil against the real file beside the test executable (the test runs
// from a folder of its own, so no other program's configuration is touched).
#include "app/config/configutil.h"

#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <QtTest>

class ConfigUtilTest : public QObject {
    Q_OBJECT

    QString path() const {
        return QCoreApplication::applicationDirPath() + QStringLiteral("/lumora.config");
    }

    // Writes straight into the file through QSettings, as an installer or a
    // hand edit would.
    void writeRaw(const QString &key, const QString &value) {
        QSettings settings(path(), QSettings::IniFormat);
        settings.setValue(QStringLiteral("config/") + key, value);
    }

private slots:
    void initTestCase() { QFile::remove(path()); }

    void missingFileReadsDefaultsAndCreatesNothing() {
        {
            ConfigUtil config;
            QCOMPARE(config.isDebug(), false);
            QCOMPARE(config.getServerUrl(),
                     QStringLiteral("http://api.lanqi-cast.example/prod-api/"));
            QCOMPARE(config.getValue(config.termsIsRead, QStringLiteral("false")),
                     QStringLiteral("false"));
            QCOMPARE(config.getValue(config.versionCode, QString()), QString());
        }
        QVERIFY(!QFile::exists(path()));

        {
            ConfigUtil config;
            config.setValue(config.termsIsRead, QStringLiteral("true"));
        }
        QVERIFY(QFile::exists(path()));
        QSettings written(path(), QSettings::IniFormat);
        QCOMPARE(written.value(QStringLiteral("config/termsIsRead")).toString(),
                 QStringLiteral("true"));
    }

    void presentEmptyValueIsNotReplacedByDefault() {
        writeRaw(QStringLiteral("tag"), QString());
        ConfigUtil config;
        QCOMPARE(config.getValue(QStringLiteral("tag"), QStringLiteral("official")), QString());
        QCOMPARE(config.getValue(QStringLiteral("absentKey"), QStringLiteral("official")),
                 QStringLiteral("official"));
    }

    void serverUrl_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty") << QString() << "http://api.lanqi-cast.example/prod-api/";
        QTest::newRow("kept as is") << "https://cast.test:8443/api"
                                    << "https://cast.test:8443/api";
        QTest::newRow("any scheme, spaces kept") << " ftp://x/ "
                                                 << " ftp://x/ ";
    }
    void serverUrl() {
        QFETCH(QString, stored);
        QFETCH(QString, expected);
        writeRaw(QStringLiteral("serverUrl"), stored);
        ConfigUtil config;
        QCOMPARE(config.getServerUrl(), expected);
    }

    void isDebug_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("expected");
        QTest::newRow("true") << "true" << true;
        QTest::newRow("1") << "1" << true;
        QTest::newRow("yes") << "yes" << true;
        QTest::newRow("false") << "false" << false;
        QTest::newRow("FALSE") << "FALSE" << false;
        QTest::newRow("0") << "0" << false;
        QTest::newRow("empty") << "" << false;
    }
    void isDebug() {
        QFETCH(QString, stored);
        QFETCH(bool, expected);
        writeRaw(QStringLiteral("isDebug"), stored);
        ConfigUtil config;
        QCOMPARE(config.isDebug(), expected);
    }

    void valueWrittenByOneInstanceIsSeenByAnother() {
        ConfigUtil reader;
        QCOMPARE(reader.getValue(QStringLiteral("isOrigin"), QStringLiteral("false")),
                 QStringLiteral("false"));
        ConfigUtil writer;
        writer.setValue(QStringLiteral("isOrigin"), QStringLiteral("true"));
        QCOMPARE(reader.getValue(QStringLiteral("isOrigin"), QStringLiteral("false")),
                 QStringLiteral("true"));
    }

    void cleanupTestCase() { QFile::remove(path()); }
};

QTEST_GUILESS_MAIN(ConfigUtilTest)
#include "tst_configutil.moc"
