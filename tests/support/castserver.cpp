#include "support/castserver.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

namespace {
QString logPath(const QTemporaryDir &dir) {
    return dir.filePath(QStringLiteral("requests.jsonl"));
}

#ifdef Q_OS_WIN
// Under Wine the server is a program of the build machine: its log lies on
// the Z: drive, which is the machine's root, and is named to it without Z:.
// The test's command ends the servers by this folder name.
QString logFolderTemplate() {
    return QStringLiteral("Z:/tmp/yoxi-wine-server-XXXXXX");
}
QString serverPath(const QString &path) {
    return path.mid(2);
}
#else
QString logFolderTemplate() {
    return QDir::tempPath() + QStringLiteral("/cast-server-log-XXXXXX");
}
QString serverPath(const QString &path) {
    return path;
}
#endif
} // namespace

TestServer::TestServer() : m_logDir(logFolderTemplate()) {}

TestServer::~TestServer() {
    stop();
}

#ifdef Q_OS_WIN
// No Windows pipe reaches a program of the build machine, and Wine cannot end
// it: the server listens on a port chosen here and is ready once it accepts a
// connection; the test's command ends it.
QString TestServer::start(const QStringList &args) {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0)) {
        return QStringLiteral("no free port: ") + probe.errorString();
    }
    m_port = probe.serverPort();
    probe.close();
    if (!QProcess::startDetached(
            QStringLiteral(CAST_SERVER_PATH),
            args + QStringList{QStringLiteral("--port"), QString::number(m_port),
                               QStringLiteral("--log"), serverPath(logPath(m_logDir))})) {
        return QStringLiteral("cast-server did not start");
    }
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 30000) {
        QTcpSocket connection;
        connection.connectToHost(QHostAddress::LocalHost, m_port);
        if (connection.waitForConnected(1000)) {
            m_baseUrl = QStringLiteral("http://127.0.0.1:%1/prod-api/").arg(m_port);
            return QString();
        }
        QThread::msleep(100);
    }
    return QStringLiteral("cast-server accepted no connection on port %1").arg(m_port);
}

void TestServer::stop() {}
#else
QString TestServer::start(const QStringList &args) {
    const QString program = QStringLiteral(CAST_SERVER_PATH);
    if (!QFile::exists(program)) {
        return QStringLiteral("cast-server not built: ") + program;
    }
    m_process.setProgram(program);
    m_process.setArguments(args + QStringList{QStringLiteral("--port"), QStringLiteral("0"),
                                              QStringLiteral("--log"),
                                              serverPath(logPath(m_logDir))});
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start();
    if (!m_process.waitForStarted(5000)) {
        return QStringLiteral("cast-server did not start: ") + m_process.errorString();
    }
    const QRegularExpression ready(QStringLiteral("cast-server ready port=(\\d+) base=(\\S+)"));
    QByteArray output;
    while (m_process.waitForReadyRead(5000)) {
        output += m_process.readAllStandardOutput();
        const QRegularExpressionMatch match = ready.match(QString::fromUtf8(output));
        if (match.hasMatch()) {
            m_port = match.captured(1).toInt();
            m_baseUrl = match.captured(2);
            return QString();
        }
    }
    stop();
    return QStringLiteral("cast-server did not report ready: ") + QString::fromUtf8(output);
}

void TestServer::stop() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        // The server waits out its clients' idle keep-alive connections (the
        // never-deleted install reporter keeps one); its log is written line
        // by line, so nothing is lost by not waiting.
        if (!m_process.waitForFinished(300)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
}
#endif

QString TestServer::url(const QString &path) const {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
}

QList<QJsonObject> TestServer::requests(const QString &exchange) const {
    QList<QJsonObject> entries;
    QFile log(logPath(m_logDir));
    if (!log.open(QIODevice::ReadOnly)) {
        return entries;
    }
    for (const QByteArray &line : log.readAll().split('\n')) {
        const QJsonObject entry = QJsonDocument::fromJson(line).object();
        if (!entry.isEmpty() && (exchange.isEmpty() ||
                                 entry.value(QStringLiteral("exchange")).toString() == exchange)) {
            entries << entry;
        }
    }
    return entries;
}
