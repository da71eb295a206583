#ifndef NETWORKUTIL_H
#define NETWORKUTIL_H

#include <QJsonObject>
#include <QJsonValue>
#include <QNetworkRequest>
#include <QObject>
#include <QString>

class QNetworkAccessManager;
class QNetworkReply;

// One signed request at a time to the cast management server: collect the
// parameters, sign them, send them as a GET query or a JSON POST body. Every
// reply arrives through networkFinished; its owner must neither delete nor
// keep it, because the request's watcher deletes it when the watch ends.
class NetworkUtil : public QObject {
    Q_OBJECT
public:
    // With flag set, every request pins Qt's secure TLS settings: the server
    // certificate is verified and only secure protocol versions are offered.
    explicit NetworkUtil(bool flag);
    ~NetworkUtil() override;

    void insertPara(const QString &key, const QJsonValue &value);
    QJsonObject getRequestParameters() const;
    void clearPara();
    // Adds "sign": MD5 over every parameter present, sorted by key, each key
    // followed by its value, then signKey.
    void createSign();
    // Appends "?" and the percent-encoded query to url, then sends a GET.
    void sendGetRequest(QString &url);
    // Posts the parameters as an indented JSON body.
    void sendPostRequest(QString &url);

    // How long each request is watched before it is aborted: 5000 ms. Tests
    // shorten it.
    void setReplyTimeout(int msec);

    const QString sendPrefix;
    const QString versionPrefix;
    const QString systemType;
    const QString signKey;
    const QString signName;
    const QString connectPath;
    const QString disConnectPath;
    const QString heartPath;
    const QString upgradePath;
    const QString activePath;

signals:
    void networkFinished(QNetworkReply *reply);
    // A request was still open when its watch ended and has been aborted;
    // its networkFinished came first. The window that made the request tells
    // the user.
    void requestTimedOut();

private slots:
    void accessFinished(QNetworkReply *reply);

private:
    void watch(QNetworkReply *reply);

    QNetworkAccessManager *manager;
    QNetworkRequest request;
    QJsonObject requestParameters;
    int replyTimeout = 5000;
};

#endif // NETWORKUTIL_H
