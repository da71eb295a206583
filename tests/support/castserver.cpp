#include "support/castserver.h"

#include <QFile>
#include <QJsonDocument>
#include <QRegularExpression>

namespace {
QString logPath(const QTemporaryDir &dir) {
    return dir.filePath(QStringLiteral("requests.jsonl"));
}
} // namespace

TestServer::~TestServer() {
    stop();
}

QString TestServer::start(const QStringList &args) {
    const QString program = QStringLiteral(CAST_SERVER_PATH);
    if (!QFile::exists(program)) {
        return QStringLiteral("cast-server not built: ") + program;
    }
    m_process.setProgram(program);
    m_process.setArguments(args + QStringList{QStringLiteral("--port"), QStringLiteral("0"),
                                              QStringLiteral("--log"), logPath(m_logDir)});
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
