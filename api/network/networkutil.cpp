#include "api/network/networkutil.h"

#include "api/network/logtext.h"
#include "api/network/qreplytimeout.h"
#include "api/network/signdigest.h"
#include "api/network/signkey.h"

#include <QDebug>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSslConfiguration>
#include <QStringList>
#include <QUrl>

namespace {
// No answer of this API comes near this size; a larger reply is aborted and
// reaches its user as a failed request.
const qint64 replyLimitBytes = 1024 * 1024;
} // namespace

NetworkUtil::NetworkUtil(bool flag)
    : QObject(nullptr), sendPrefix(QStringLiteral("/send/pc")),
      versionPrefix(QStringLiteral("/v1")), systemType(QStringLiteral("1")),
      signKey(QLatin1String(requestSignKey)), signName(QStringLiteral("sign")),
      connectPath(sendPrefix + versionPrefix + QStringLiteral("/connect")),
      disConnectPath(sendPrefix + versionPrefix + QStringLiteral("/disConnect")),
      heartPath(sendPrefix + versionPrefix + QStringLiteral("/heart")),
      upgradePath(QStringLiteral("/app/v1/upgrade")),
      activePath(QStringLiteral("/receive/tv/v1/active")) {
#ifndef QT_NO_SSL
    if (flag) {
        QSslConfiguration ssl = request.sslConfiguration();
        ssl.setPeerVerifyMode(QSslSocket::VerifyPeer);
        ssl.setProtocol(QSsl::SecureProtocols);
        request.setSslConfiguration(ssl);
    }
#else
    Q_UNUSED(flag)
#endif
    // Qt would otherwise ask for gzip and inflate the body before the size
    // cap of watch() sees a byte. Asked for the body as sent, Qt hands over a
    // body compressed anyway as it came: unreadable, and bounded by the cap.
    request.setRawHeader("Accept-Encoding", "identity");
    manager = new QNetworkAccessManager();
    connect(manager, SIGNAL(finished(QNetworkReply *)), this, SLOT(accessFinished(QNetworkReply *)),
            Qt::DirectConnection);
}

NetworkUtil::~NetworkUtil() {
    delete manager;
}

void NetworkUtil::insertPara(const QString &key, const QJsonValue &value) {
    requestParameters.insert(key, value);
}

QJsonObject NetworkUtil::getRequestParameters() const {
    return requestParameters;
}

void NetworkUtil::clearPara() {
    const QStringList keys = requestParameters.keys();
    for (const QString &key : keys) {
        requestParameters.remove(key);
    }
    qDebug() << "clearPara::requestParameters ---------:" << requestParameters;
}

void NetworkUtil::createSign() {
    QStringList keys = requestParameters.keys();
    keys.sort(Qt::CaseSensitive);
    qDebug() << "createSign mlist before:" << keys;

    QString signValue;
    for (const QString &key : keys) {
        signValue += key;
        signValue += requestParameters.value(key).toString();
    }
    qDebug() << "signValue before:" << signValue;

    const QString sign = signDigest(signValue, signKey);
    qDebug() << "signValue after:" << sign;
    requestParameters.insert(signName, sign);
}

void NetworkUtil::sendGetRequest(QString &url) {
    qDebug() << "sendGetRequest::requestUrl ---------first---:" << url;
    // Keys and values are percent-encoded so that "&", "=", "#", "+" or a
    // space in a value cannot change the request; the signature was taken
    // over the raw values, which is what the server decodes.
    QString query;
    for (auto it = requestParameters.constBegin(); it != requestParameters.constEnd(); ++it) {
        if (!query.isEmpty()) {
            query += QLatin1Char('&');
        }
        query += QString::fromLatin1(QUrl::toPercentEncoding(it.key()));
        query += QLatin1Char('=');
        query += QString::fromLatin1(QUrl::toPercentEncoding(it.value().toString()));
    }
    url += QLatin1Char('?') + query;
    qDebug() << "sendGetRequest::requestUrl ---------second---:" << url;

    request.setUrl(QUrl(url, QUrl::TolerantMode));
    watch(manager->get(request));
}

void NetworkUtil::sendPostRequest(QString &url) {
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    request.setUrl(QUrl(url, QUrl::TolerantMode));
    qDebug() << "sendPostRequest::requestUrl ---------:" << url;
    qDebug() << "sendPostRequest::getRequestParameters ---------:" << requestParameters;

    const QByteArray body = QJsonDocument(requestParameters).toJson(QJsonDocument::Indented);
    watch(manager->post(request, body));
}

void NetworkUtil::setReplyTimeout(int msec) {
    replyTimeout = msec;
}

void NetworkUtil::watch(QNetworkReply *reply) {
    // Qt stops reading from the server while this much waits unread, so an
    // oversized reply is aborted before it can fill memory. Its users read it
    // only when it has finished: what is available is all that arrived.
    reply->setReadBufferSize(replyLimitBytes + 1);
    const auto abortIfTooLarge = [reply] {
        const qint64 announced = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
        if (reply->bytesAvailable() > replyLimitBytes || announced > replyLimitBytes) {
            qDebug() << "reply too large, aborted:" << reply->bytesAvailable() << "bytes read,"
                     << announced << "announced, from" << logText(reply->url().toString());
            reply->abort();
        }
    };
    connect(reply, &QNetworkReply::metaDataChanged, reply, abortIfTooLarge);
    connect(reply, &QNetworkReply::readyRead, reply, abortIfTooLarge);
    QReplyTimeout *watcher = new QReplyTimeout(reply, replyTimeout);
    connect(watcher, SIGNAL(timeout()), this, SIGNAL(requestTimedOut()));
}

void NetworkUtil::accessFinished(QNetworkReply *reply) {
    emit networkFinished(reply);
}
