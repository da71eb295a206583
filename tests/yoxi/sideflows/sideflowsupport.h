// Shared by the side-flow tests: a cast-server process on a free loopback
// port, and a scope that keeps the tests' settings out of the shared
// configuration file beside the test programs.
#ifndef SIDEFLOWSUPPORT_H
#define SIDEFLOWSUPPORT_H

#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// Removes the keys the side-flow features write, now and again when the scope
// ends, so that no test sees another's leftovers.
class ConfigScope {
public:
    ConfigScope();
    ~ConfigScope();
    static void clear();
};

class CastServerProcess {
public:
    ~CastServerProcess();

    // Starts cast-server with args plus a free port and a request log; false
    // (with the reason in error()) when it does not come up.
    bool start(const QStringList &args);
    void stop();

    QString baseUrl() const { return m_baseUrl; }
    // http://127.0.0.1:PORT followed by path.
    QString url(const QString &path) const;
    // Every request logged so far, oldest first.
    QList<QJsonObject> requests() const;
    QString error() const { return m_error; }

private:
    QProcess m_process;
    QTemporaryDir m_logDir;
    QString m_baseUrl;
    int m_port = 0;
    QString m_error;
};

#endif // SIDEFLOWSUPPORT_H
