// Start-up of the real program: log files only in debug mode, and only for
// messages after the switch was read. Each case runs a copy of yoxi from a
// folder of its own, so its configuration and logs folder are the test's.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class StartupTest : public QObject {
    Q_OBJECT

    QScopedPointer<QTemporaryDir> folder;
    QProcess program;
    QByteArray output;

    // The last line the main window's constructor logs.
    static constexpr const char *lastLayoutLine = "ui->helpSign->height()/2 = ";

    void start(const QByteArray &config) {
        folder.reset(new QTemporaryDir);
        QVERIFY(folder->isValid());
        const QString copy = folder->filePath(QStringLiteral("yoxi"));
        QVERIFY(QFile::copy(QStringLiteral(YOXI_EXECUTABLE), copy));
        if (!config.isEmpty()) {
            QFile file(folder->filePath(QStringLiteral("lumora.config")));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(config);
        }
        program.setProcessChannelMode(QProcess::MergedChannels);
        program.start(copy, QStringList());
        QVERIFY(program.waitForStarted());
    }

    QByteArray logText() {
        const QDir logs(folder->filePath(QStringLiteral("logs")));
        const QStringList files = logs.entryList({QStringLiteral("log-*.log")}, QDir::Files);
        QByteArray text;
        for (const QString &name : files) {
            QFile file(logs.filePath(name));
            if (file.open(QIODevice::ReadOnly)) {
                text += file.readAll();
            }
        }
        return text;
    }

private slots:
    void cleanup() {
        program.kill();
        program.waitForFinished();
        output.clear();
    }

    void withoutConfigurationNothingIsLogged() {
        start(QByteArray());
        if (QTest::currentTestFailed()) {
            return;
        }
        QTRY_VERIFY_WITH_TIMEOUT((output += program.readAll()).contains(lastLayoutLine), 20000);
        QVERIFY(output.contains("is debug model :  false"));
        QVERIFY(!QFileInfo::exists(folder->filePath(QStringLiteral("logs"))));
        QVERIFY(!QFileInfo::exists(folder->filePath(QStringLiteral("lumora.config"))));
    }

    void debugModeWritesTheDaysLogFile() {
        start("[config]\nisDebug=true\n");
        if (QTest::currentTestFailed()) {
            return;
        }
        QTRY_VERIFY_WITH_TIMEOUT(logText().contains(lastLayoutLine), 20000);
        output += program.readAll();
        QVERIFY(output.contains("is debug model :  true"));

        const QByteArray text = logText();
        const QByteArray today =
            QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")).toLatin1();
        QVERIFY2(QFileInfo::exists(folder->filePath("logs/log-" + today + ".log")), text);
        // The start-up's own two lines precede the handler; the first line in
        // the file is the main window's configuration path.
        QVERIFY2(text.startsWith("Debug: File:() Line:(0) w_configPath :  \""), text);
        QVERIFY(!text.contains("is debug model"));
        // Every record is level, location, message and time, then CR LF; a
        // message may itself hold line breaks (the engine bridge's lines
        // start with one), so records are matched over the whole text.
        const QRegularExpression record(
            QStringLiteral("(Debug:|Warning:|Critical:|) File:\\(\\) Line:\\(0\\) .*? "
                           "\\(\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d \\w+\\)\r\n"),
            QRegularExpression::DotMatchesEverythingOption);
        const QString logged = QString::fromLocal8Bit(text);
        int position = 0;
        while (position < logged.size()) {
            const QRegularExpressionMatch match =
                record.match(logged, position, QRegularExpression::NormalMatch,
                             QRegularExpression::AnchoredMatchOption);
            QVERIFY2(match.hasMatch(), qPrintable(logged.mid(position, 200)));
            position = match.capturedEnd();
        }
    }
};

QTEST_GUILESS_MAIN(StartupTest)
#include "tst_startup.moc"
