// Shared by the main-window tests: the test cast server as a child process,
// the configuration file beside the test program, and the program's message
// boxes as the user sees them.
#ifndef FLOWSUPPORT_H
#define FLOWSUPPORT_H

#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class BaseDialog;

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
    // Logged requests of one exchange ("connect", "disconnect", "upgrade",
    // "active", "heart"), oldest first; every exchange when empty.
    QList<QJsonObject> requests(const QString &exchange = QString()) const;

private:
    QProcess m_process;
    QTemporaryDir m_logDir;
    QString m_baseUrl;
};

// Replaces lumora.config beside the test program with exactly these keys of
// group config (the test programs run from folders of their own).
void writeConfig(const QMap<QString, QString> &values);
// A value of group config as the program's settings see it, or "<missing>".
QString configValue(const QString &key);

// The program's visible message boxes, oldest first, without the request
// watcher's time-out box (a busy machine may let any request run past 5 s).
QList<BaseDialog *> visibleMessageBoxes();
QString messageText(BaseDialog *box);
// Texts of the visible message boxes (as visibleMessageBoxes); closes them
// all, time-out boxes included.
QStringList takeMessages();
// When the next box run with exec() appears, presses its button
// ("ok_button" or "cancel_button") after delayMs, and stores the box's text
// in *text.
void answerNextPrompt(const QString &buttonName, QString *text = nullptr, int delayMs = 0);

#endif // FLOWSUPPORT_H
