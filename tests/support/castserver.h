// The test cast server (tools/cast-server) as a child process on a free
// loopback port, with its request log.
#ifndef CASTSERVER_H
#define CASTSERVER_H

#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class TestServer {
public:
    TestServer();
    ~TestServer();

    // Starts cast-server with args plus a free port and a request log.
    // Returns an empty string, or why it did not come up.
    QString start(const QStringList &args);
    void stop();

    // The base URL to store as serverUrl.
    QString baseUrl() const { return m_baseUrl; }
    // http://127.0.0.1:PORT followed by path.
    QString url(const QString &path) const;
    // Logged requests of one exchange ("connect", "disconnect", "upgrade",
    // "active", "heart", "file"), oldest first; every request when empty.
    QList<QJsonObject> requests(const QString &exchange = QString()) const;

private:
    QProcess m_process;
    QTemporaryDir m_logDir;
    QString m_baseUrl;
    int m_port = 0;
};

#endif // CASTSERVER_H
