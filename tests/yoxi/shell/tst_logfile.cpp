// The debug-mode log file: line format, one file per local day, folder
// re-created, messages from Qt's own functions.
#include "app/logging/logfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {
QDateTime pinnedNow;
QDateTime pinnedClock() {
    return pinnedNow;
}

QDateTime at(int year, int month, int day, int hour, int minute, int second, int ms = 0) {
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second, ms));
}
} // namespace

class LogFileTest : public QObject {
    Q_OBJECT

    QTemporaryDir root;
    QString logs;

    QByteArray read(const QString &day) {
        QFile file(logs + QStringLiteral("/log-") + day + QStringLiteral(".log"));
        if (!file.open(QIODevice::ReadOnly)) {
            return QByteArray();
        }
        return file.readAll();
    }

    void log(QtMsgType type, const QString &text) {
        LogFile::messageHandler(type, QMessageLogContext(), text);
    }

private slots:
    void init() {
        QVERIFY(root.isValid());
        logs = root.path() + QStringLiteral("/logs");
        QDir(logs).removeRecursively();
        LogFile::setDirectory(logs);
        LogFile::setClock(pinnedClock);
    }

    void lineFormat() {
        pinnedNow = at(2024, 12, 10, 14, 28, 13);
        log(QtDebugMsg, QStringLiteral("hello"));
        QCOMPARE(read(QStringLiteral("2024-12-10")),
                 QByteArray("Debug: File:() Line:(0) hello (2024-12-10 14:28:13 Tue)\r\n"));
    }

    void levelWords() {
        pinnedNow = at(2024, 12, 10, 9, 5, 7);
        log(QtWarningMsg, QStringLiteral("w"));
        log(QtCriticalMsg, QStringLiteral("c"));
        log(QtInfoMsg, QStringLiteral("i"));
        QCOMPARE(read(QStringLiteral("2024-12-10")),
                 QByteArray("Warning: File:() Line:(0) w (2024-12-10 09:05:07 Tue)\r\n"
                            "Critical: File:() Line:(0) c (2024-12-10 09:05:07 Tue)\r\n"
                            " File:() Line:(0) i (2024-12-10 09:05:07 Tue)\r\n"));
    }

    void placeholdersInTheTextAreKept() {
        pinnedNow = at(2024, 12, 10, 14, 28, 13);
        log(QtDebugMsg, QStringLiteral("100%1 done %2 %4"));
        QCOMPARE(
            read(QStringLiteral("2024-12-10")),
            QByteArray("Debug: File:() Line:(0) 100%1 done %2 %4 (2024-12-10 14:28:13 Tue)\r\n"));
    }

    void sourceLocationWhenGiven() {
        const QDateTime now = at(2025, 1, 6, 8, 0, 0);
        const QMessageLogContext context("capture.cpp", 42, "f", "default");
        QCOMPARE(LogFile::formatLine(QtDebugMsg, context, QStringLiteral("x"), now),
                 QStringLiteral("Debug: File:(capture.cpp) Line:(42) x (2025-01-06 08:00:00 Mon)"));
    }

    void midnightStartsTheNextDaysFile() {
        pinnedNow = at(2024, 12, 31, 23, 59, 59, 900);
        log(QtDebugMsg, QStringLiteral("last"));
        pinnedNow = at(2025, 1, 1, 0, 0, 0, 100);
        log(QtDebugMsg, QStringLiteral("first"));
        QCOMPARE(read(QStringLiteral("2024-12-31")),
                 QByteArray("Debug: File:() Line:(0) last (2024-12-31 23:59:59 Tue)\r\n"));
        QCOMPARE(read(QStringLiteral("2025-01-01")),
                 QByteArray("Debug: File:() Line:(0) first (2025-01-01 00:00:00 Wed)\r\n"));
    }

    void deletedFolderIsCreatedAgain() {
        pinnedNow = at(2024, 12, 10, 10, 0, 0);
        log(QtDebugMsg, QStringLiteral("one"));
        QVERIFY(QDir(logs).removeRecursively());
        log(QtDebugMsg, QStringLiteral("two"));
        QCOMPARE(read(QStringLiteral("2024-12-10")),
                 QByteArray("Debug: File:() Line:(0) two (2024-12-10 10:00:00 Tue)\r\n"));
    }

    void unwritableFolderLosesOnlyThatMessage() {
        pinnedNow = at(2024, 12, 10, 10, 0, 0);
        // A plain file where the folder should be: neither mkdir nor open can work.
        QFile blocker(logs);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        log(QtDebugMsg, QStringLiteral("lost"));
        QVERIFY(QFile::remove(logs));
        log(QtDebugMsg, QStringLiteral("kept"));
        QCOMPARE(read(QStringLiteral("2024-12-10")),
                 QByteArray("Debug: File:() Line:(0) kept (2024-12-10 10:00:00 Tue)\r\n"));
    }

    void qtMessagesGoThroughTheInstalledHandler() {
        pinnedNow = at(2024, 12, 10, 14, 28, 13);
        const QtMessageHandler testHandler = qInstallMessageHandler(nullptr);
        LogFile::install();
        qDebug() << "voteScreen:click:status:" << true;
        qDebug("%s", "printf form");
        qInstallMessageHandler(testHandler);
        QCOMPARE(read(QStringLiteral("2024-12-10")),
                 QByteArray("Debug: File:() Line:(0) voteScreen:click:status: true "
                            "(2024-12-10 14:28:13 Tue)\r\n"
                            "Debug: File:() Line:(0) printf form (2024-12-10 14:28:13 Tue)\r\n"));
    }

    void linesOfThreadsDoNotInterleave() {
        pinnedNow = at(2024, 12, 10, 14, 28, 13);
        const int perThread = 200;
        QVector<QThread *> threads;
        for (int t = 0; t < 4; ++t) {
            threads.append(QThread::create([this, t, perThread] {
                for (int i = 0; i < perThread; ++i) {
                    log(QtDebugMsg, QStringLiteral("thread %1 line %2 ").arg(t).arg(i) +
                                        QString(40, QLatin1Char('x')));
                }
            }));
            threads.last()->start();
        }
        for (QThread *thread : threads) {
            QVERIFY(thread->wait(30000));
            delete thread;
        }
        const QList<QByteArray> lines = read(QStringLiteral("2024-12-10")).split('\n');
        QCOMPARE(lines.size(), 4 * perThread + 1);
        QRegularExpression pattern(
            QStringLiteral("^Debug: File:\\(\\) Line:\\(0\\) thread \\d line \\d+ x{40} "
                           "\\(2024-12-10 14:28:13 Tue\\)\\r$"));
        for (int i = 0; i < 4 * perThread; ++i) {
            QVERIFY2(pattern.match(QString::fromLatin1(lines.at(i))).hasMatch(), lines.at(i));
        }
    }
};

int main(int argc, char *argv[]) {
    // Weekday names come from the system locale; the expected lines are English.
    qputenv("LC_ALL", "C");
    QCoreApplication app(argc, argv);
    LogFileTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_logfile.moc"
