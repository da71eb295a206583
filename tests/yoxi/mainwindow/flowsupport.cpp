#include "flowsupport.h"

#include "ui/basedialog/basedialog.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

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

QString configPath() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/lumora.config");
}
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
    const quint16 port = probe.serverPort();
    probe.close();
    if (!QProcess::startDetached(QStringLiteral(CAST_SERVER_PATH),
                                 args + QStringList{QStringLiteral("--port"), QString::number(port),
                                                    QStringLiteral("--log"),
                                                    serverPath(logPath(m_logDir))})) {
        return QStringLiteral("cast-server did not start");
    }
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 30000) {
        QTcpSocket connection;
        connection.connectToHost(QHostAddress::LocalHost, port);
        if (connection.waitForConnected(1000)) {
            m_baseUrl = QStringLiteral("http://127.0.0.1:%1/prod-api/").arg(port);
            return QString();
        }
        QThread::msleep(100);
    }
    return QStringLiteral("cast-server accepted no connection on port %1").arg(port);
}

void TestServer::stop() {}
#else
QString TestServer::start(const QStringList &args) {
    m_process.setProgram(QStringLiteral(CAST_SERVER_PATH));
    m_process.setArguments(args + QStringList{QStringLiteral("--port"), QStringLiteral("0"),
                                              QStringLiteral("--log"),
                                              serverPath(logPath(m_logDir))});
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start();
    if (!m_process.waitForStarted(5000)) {
        return QStringLiteral("cast-server did not start: ") + m_process.errorString();
    }
    const QRegularExpression ready(QStringLiteral("cast-server ready port=\\d+ base=(\\S+)"));
    QByteArray output;
    while (m_process.waitForReadyRead(5000)) {
        output += m_process.readAllStandardOutput();
        const QRegularExpressionMatch match = ready.match(QString::fromUtf8(output));
        if (match.hasMatch()) {
            m_baseUrl = match.captured(1);
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

void writeConfig(const QMap<QString, QString> &values) {
    QSettings settings(configPath(), QSettings::IniFormat);
    settings.remove(QStringLiteral("config"));
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        settings.setValue(QStringLiteral("config/") + it.key(), it.value());
    }
    settings.sync();
}

QString configValue(const QString &key) {
    QSettings settings(configPath(), QSettings::IniFormat);
    return settings.value(QStringLiteral("config/") + key, QStringLiteral("<missing>")).toString();
}

QString messageText(BaseDialog *box) {
    auto *label = box->findChild<QLabel *>(QStringLiteral("tip_content"));
    return label ? label->text() : QString();
}

namespace {
// On a busy machine any request of the window (install report, upgrade
// check, heartbeat) may still be open when its 5 s watch ends, which shows
// the watcher's box. The flow tests look at the flow's own boxes; the
// watcher's box has tests of its own.
bool isRequestTimeoutBox(BaseDialog *box) {
    return messageText(box) == QStringLiteral("服务器连接失败，请检查网络!");
}

QList<BaseDialog *> visibleBoxes() {
    QList<BaseDialog *> boxes;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        auto *box = qobject_cast<BaseDialog *>(widget);
        if (box && box->isVisible()) {
            boxes << box;
        }
    }
    return boxes;
}
} // namespace

QList<BaseDialog *> visibleMessageBoxes() {
    QList<BaseDialog *> boxes;
    for (BaseDialog *box : visibleBoxes()) {
        if (!isRequestTimeoutBox(box)) {
            boxes << box;
        }
    }
    return boxes;
}

QStringList takeMessages() {
    QStringList texts;
    for (BaseDialog *box : visibleBoxes()) {
        if (!isRequestTimeoutBox(box)) {
            texts << messageText(box);
        }
        box->close();
    }
    return texts;
}

void answerNextPrompt(const QString &buttonName, QString *text, int delayMs) {
    // Polls from the event loop that exec() runs.
    auto *poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, buttonName, text, delayMs] {
        auto *box = qobject_cast<BaseDialog *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) {
            return;
        }
        if (text) {
            *text = messageText(box);
        }
        poll->stop();
        poll->deleteLater();
        QPointer<QPushButton> button = box->findChild<QPushButton *>(buttonName);
        QTimer::singleShot(delayMs, [button] {
            if (button) {
                button->click();
            }
        });
    });
    poll->start(20);
}
