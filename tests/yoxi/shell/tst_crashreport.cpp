// The crash report: its texts, and on fatal signals a report process that
// shows them while the crashed process waits and then ends.
//
// The test runs itself in three roles: the test proper; "--crash-me KIND",
// which installs the hook and crashes; and the report process that the hook
// starts ("--crash-report CODE ADDRESS"), which here describes the box it
// shows on stdout and presses OK instead of waiting for a user.
#include "app/crash/crashreport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QProcess>
#include <QTimer>
#include <QtTest>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void describeAndCloseReportBox() {
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box) {
        std::fputs("no report box\n", stdout);
        std::exit(3);
    }
    const QString description = QStringLiteral("title=%1\ntext=%2\ncritical=%3\nbuttons=%4\n")
                                    .arg(box->windowTitle(), box->text())
                                    .arg(box->icon() == QMessageBox::Critical)
                                    .arg(box->standardButtons() == QMessageBox::Ok);
    std::fputs(description.toUtf8().constData(), stdout);
    std::fflush(stdout);
    box->button(QMessageBox::Ok)->click();
}

int runReportRole(int argc, char **argv) {
    QApplication app(argc, argv);
    QString code;
    QString address;
    if (!CrashReport::isReportRequest(argc, argv, &code, &address)) {
        return 2;
    }
    QTimer::singleShot(0, describeAndCloseReportBox);
    CrashReport::showReport(code, address);
    return 0;
}

int runCrashRole(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    CrashReport::install();
    if (std::strcmp(argv[2], "abort") == 0) {
        std::abort();
    }
    volatile int *volatile invalid = reinterpret_cast<int *>(0x10);
    *invalid = 1;
    return 0;
}

} // namespace

class CrashReportTest : public QObject {
    Q_OBJECT

    QString crash(const QString &kind, int *exitCode) {
        QProcess process;
        process.start(QCoreApplication::applicationFilePath(),
                      {QStringLiteral("--crash-me"), kind});
        if (!process.waitForFinished(30000)) {
            process.kill();
            return QStringLiteral("timed out");
        }
        *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        return QString::fromUtf8(process.readAllStandardOutput());
    }

private slots:
    void body() {
        QCOMPARE(
            CrashReport::reportBody(QStringLiteral("c0000005"), QStringLiteral("7ff6a1b2")),
            QStringLiteral("<FONT size=4><div><b>对于发生的错误，表示诚挚的歉意</b><br/></div>"
                           "<div>错误代码：c0000005</div><div>错误地址：7ff6a1b2</div></FONT>"));
    }

    void reportRequest_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("valid") << QStringList{"yoxi", "--crash-report", "b", "7ffd1a2c"} << true;
        QTest::newRow("zero address") << QStringList{"yoxi", "--crash-report", "6", "0"} << true;
        QTest::newRow("no arguments") << QStringList{"yoxi"} << false;
        QTest::newRow("missing address") << QStringList{"yoxi", "--crash-report", "b"} << false;
        QTest::newRow("upper case") << QStringList{"yoxi", "--crash-report", "B", "10"} << false;
        QTest::newRow("prefix") << QStringList{"yoxi", "--crash-report", "b", "0x10"} << false;
        QTest::newRow("markup") << QStringList{"yoxi", "--crash-report", "b", "<b>1</b>"} << false;
        QTest::newRow("too long") << QStringList{"yoxi", "--crash-report", "b", "1234567890abcdef0"}
                                  << false;
        QTest::newRow("other option") << QStringList{"yoxi", "--report", "b", "10"} << false;
    }
    void reportRequest() {
        QFETCH(QStringList, arguments);
        QList<QByteArray> storage;
        QVector<char *> argv;
        for (const QString &argument : arguments) {
            storage.append(argument.toLatin1());
        }
        for (QByteArray &argument : storage) {
            argv.append(argument.data());
        }
        QString code;
        QString address;
        QTEST(CrashReport::isReportRequest(argv.size(), argv.data(), &code, &address), "accepted");
        if (argv.size() == 4 && code.size()) {
            QCOMPARE(code, arguments.at(2));
            QCOMPARE(address, arguments.at(3));
        }
    }

    void segmentationFaultShowsTheReport() {
        int exitCode = 0;
        const QString shown = crash(QStringLiteral("segv"), &exitCode);
        QCOMPARE(exitCode, 128 + SIGSEGV);
        QCOMPARE(shown, QStringLiteral("title=程式崩溃\ntext=") +
                            CrashReport::reportBody(QStringLiteral("b"), QStringLiteral("10")) +
                            QStringLiteral("\ncritical=1\nbuttons=1\n"));
    }

    void abortShowsTheReportWithoutAddress() {
        int exitCode = 0;
        const QString shown = crash(QStringLiteral("abort"), &exitCode);
        QCOMPARE(exitCode, 128 + SIGABRT);
        QVERIFY2(shown.contains(QStringLiteral("<div>错误代码：6</div><div>错误地址：0</div>")),
                 qPrintable(shown));
    }
};

int main(int argc, char *argv[]) {
    if (argc == 3 && std::strcmp(argv[1], "--crash-me") == 0) {
        return runCrashRole(argc, argv);
    }
    if (argc > 1 && std::strcmp(argv[1], "--crash-report") == 0) {
        return runReportRole(argc, argv);
    }
    QCoreApplication app(argc, argv);
    CrashReportTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_crashreport.moc"
