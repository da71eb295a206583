#include "sideflowsupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSettings>

namespace {

const char *const sideFlowKeys[] = {
    "serverUrl",   "downloadUrl", "fileName",   "upgradePackageName", "upgradePackageSuffix",
    "termsIsRead", "tag",         "versionCode"};

QString logPath(const QTemporaryDir &dir) {
    return dir.filePath("requests.jsonl");
}

} // namespace

ConfigScope::ConfigScope() {
    clear();
}

ConfigScope::~ConfigScope() {
    clear();
}

void ConfigScope::clear() {
    QSettings settings(QCoreApplication::applicationDirPath() + "/lumora.config",
                       QSettings::IniFormat);
    for (const char *key : sideFlowKeys) {
        settings.remove(QStringLiteral("config/") + QLatin1String(key));
    }
}

CastServerProcess::~CastServerProcess() {
    stop();
}

bool CastServerProcess::start(const QStringList &args) {
    const QString program = QStringLiteral(CAST_SERVER_PATH);
    if (!QFile::exists(program)) {
        m_error = "cast-server not built: " + program;
        return false;
    }
    m_process.setProgram(program);
    m_process.setArguments(args + QStringList{"--port", "0", "--log", logPath(m_logDir)});
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start();
    if (!m_process.waitForStarted(5000)) {
        m_error = "cast-server did not start: " + m_process.errorString();
        return false;
    }
    const QRegularExpression ready("cast-server ready port=(\\d+) base=(\\S+)");
    QByteArray output;
    while (m_process.waitForReadyRead(5000)) {
        output += m_process.readAllStandardOutput();
        const QRegularExpressionMatch match = ready.match(QString::fromUtf8(output));
        if (match.hasMatch()) {
            m_port = match.captured(1).toInt();
            m_baseUrl = match.captured(2);
            return true;
        }
    }
    m_error = "cast-server did not report ready: " + QString::fromUtf8(output);
    stop();
    return false;
}

void CastServerProcess::stop() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
}

QString CastServerProcess::url(const QString &path) const {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
}

QList<QJsonObject> CastServerProcess::requests() const {
    QList<QJsonObject> entries;
    QFile log(logPath(m_logDir));
    if (!log.open(QIODevice::ReadOnly)) {
        return entries;
    }
    for (const QByteArray &line : log.readAll().split('\n')) {
        if (!line.trimmed().isEmpty()) {
            entries << QJsonDocument::fromJson(line).object();
        }
    }
    return entries;
}
