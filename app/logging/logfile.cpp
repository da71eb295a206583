#include "app/logging/logfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMutex>
#include <QTextStream>

namespace LogFile {
namespace {

QDateTime localNow() {
    return QDateTime::currentDateTime();
}

Clock currentClock = localNow;
QString directoryOverride;

// Built on first use (thread-safe static initialisation); it serialises whole
// messages so lines from different threads never interleave.
QMutex &logLock() {
    static QMutex lock;
    return lock;
}

QString levelWord(QtMsgType type) {
    switch (type) {
    case QtDebugMsg:
        return QStringLiteral("Debug:");
    case QtWarningMsg:
        return QStringLiteral("Warning:");
    case QtCriticalMsg:
        return QStringLiteral("Critical:");
    case QtFatalMsg:
        return QStringLiteral("Fatal:");
    default:
        return QString();
    }
}

QString logDirectory() {
    if (!directoryOverride.isEmpty()) {
        return directoryOverride;
    }
    return QCoreApplication::applicationDirPath() + QStringLiteral("/logs");
}

} // namespace

void install() {
    qInstallMessageHandler(messageHandler);
}

QString formatLine(QtMsgType type, const QMessageLogContext &context, const QString &message,
                   const QDateTime &now) {
    const QString location = QStringLiteral("File:(%1) Line:(%2)")
                                 .arg(QString::fromLocal8Bit(context.file))
                                 .arg(context.line);
    const QString time =
        QStringLiteral("(%1)").arg(now.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss ddd")));
    // One multi-argument substitution: a "%1" inside the message stays as it is.
    return QStringLiteral("%1 %2 %3 %4").arg(levelWord(type), location, message, time);
}

void messageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message) {
    QMutexLocker locker(&logLock());
    const QDateTime now = currentClock();
    const QString line = formatLine(type, context, message, now);

    // Nothing here may log through Qt: the handler would wait for its own lock.
    // A message that cannot be written is dropped; the next one tries again.
    const QString directory = logDirectory();
    QDir dir(directory);
    if (!dir.exists()) {
        dir.mkdir(directory);
    }
    QFile file(directory + QStringLiteral("/log-") + now.toString(QStringLiteral("yyyy-MM-dd")) +
               QStringLiteral(".log"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        return;
    }
    QTextStream stream(&file);
    stream << line << "\r\n";
    stream.flush();
    file.close();
}

void setClock(Clock clock) {
    QMutexLocker locker(&logLock());
    currentClock = clock ? clock : localNow;
}

void setDirectory(const QString &directory) {
    QMutexLocker locker(&logLock());
    directoryOverride = directory;
}

} // namespace LogFile
