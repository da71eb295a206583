#include "api/connect/connectexchange.h"

#include "api/network/logtext.h"
#include "api/network/networkutil.h"
#include "api/network/replyfields.h"
#include "api/network/showntext.h"
#include "app/display/screenutil.h"

#include <QDateTime>
#include <QDebug>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>

namespace {
QString networkFailure() {
    return QStringLiteral("服务器连接失败，请检查网络");
}
} // namespace

ConnectExchange::ConnectExchange(NetworkUtil *network, const ScreenUtil *screen)
    : QObject(nullptr), network(network), screen(screen) {}

void ConnectExchange::request(const QString &code) {
    network->clearPara();
    network->insertPara(QStringLiteral("code"), code);
    network->insertPara(QStringLiteral("timestamp"),
                        QString::number(QDateTime::currentMSecsSinceEpoch()));
    network->insertPara(QStringLiteral("type"), network->systemType);
    network->insertPara(QStringLiteral("resolution"), screen->getScreenSize());
    network->insertPara(QStringLiteral("bitRate"), QStringLiteral("1300"));
    network->insertPara(QStringLiteral("frameRate"), QStringLiteral("15"));
    network->createSign();
    QString url = config.getServerUrl() + network->connectPath;
    network->sendPostRequest(url);
}

void ConnectExchange::readReply(QNetworkReply *reply, bool keepScreenRatio) {
    if (reply->error() != QNetworkReply::NoError) {
        emit failed(networkFailure());
        qDebug() << "finishedSlot errors here";
        qDebug("found error .... code: %d\n", static_cast<int>(reply->error()));
        qDebug() << "deleteLater ===";
        return;
    }

    const QByteArray body = reply->readAll();
    // Text up to the first zero byte, as a C string would read it.
    const QString text =
        QString::fromUtf8(body.constData(), qstrnlen(body.constData(), body.size()));
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        qDebug() << reply->url() << "  返回内容解析出错：" << logText(text);
        return;
    }
    const QJsonObject object = document.object();
    qDebug() << "返回内容："
             << logText(QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Indented)));
    const int code = object.value(QStringLiteral("code")).toInt(0);
    qDebug() << "code=" << code;
    if (code != 200) {
        // A "msg" that is no text says nothing: the flow's own message instead.
        const QJsonValue msg = object.value(QStringLiteral("msg"));
        emit failed(msg.isString() ? shownText(msg.toString()) : networkFailure());
        qDebug() << "deleteLater ===";
        return;
    }

    const QJsonObject data = object.value(QStringLiteral("data")).toObject();
    ConnectTarget target;
    QString unusable;
    const bool usable = readConnectTarget(data, &target, &unusable);
    QByteArray host = target.ip.toLatin1();
    qDebug() << "ip=" << logText(target.ip);
    qDebug() << "port=" << target.port;
    qDebug() << "ip.toLatin1().data()=" << logText(QString::fromLatin1(host));
    if (!usable) {
        qDebug() << unusable
                 << logText(QString::fromUtf8(QJsonDocument(data).toJson(QJsonDocument::Compact)));
        emit failed(networkFailure());
        return;
    }
    const int port = target.port;
    int width = target.width;
    int height = target.height;
    qDebug() << "width before ===" << width;
    qDebug() << "height before ===" << height;

    if (keepScreenRatio) {
        ratioUtil.fitRatio(screen->getScreenWidth(), screen->getScreenHeight(), width, height);
        width = ratioUtil.getFitWidth();
        height = ratioUtil.getFitHeight();
    }
    qDebug() << "width after ===" << width << "windowWidth==" << screen->getScreenWidth();
    qDebug() << "height after ===" << height << "windowHeight==" << screen->getScreenHeight();

    emit castTarget(host, port, width, height);
    qDebug() << "deleteLater ===";
}
