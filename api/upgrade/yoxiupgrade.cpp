#include "api/upgrade/yoxiupgrade.h"

#include "api/network/logtext.h"
#include "api/network/networkutil.h"
#include "api/network/replyfields.h"
#include "api/network/showntext.h"
#include "api/upgrade/packagename.h"

#include <QDateTime>
#include <QDebug>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>

YoxiUpgrade::YoxiUpgrade(QObject *parent) : QObject(parent), network(new NetworkUtil(true)) {
    // Direct: this object may sit on a thread that never runs an event loop.
    connect(network, SIGNAL(requestTimedOut()), this, SIGNAL(requestTimedOut()),
            Qt::DirectConnection);
}

YoxiUpgrade::~YoxiUpgrade() {
    delete network;
}

void YoxiUpgrade::checkGrade(QString channelNo, QString version) {
    qDebug() << "checkGrade-------------";
    // Direct: this object may sit on a thread that never runs an event loop.
    // Unique: a repeated check must not hand each reply to the slot twice.
    connect(network, SIGNAL(networkFinished(QNetworkReply *)), this,
            SLOT(upgradeResult(QNetworkReply *)),
            Qt::ConnectionType(Qt::DirectConnection | Qt::UniqueConnection));

    network->clearPara();
    network->insertPara("timestamp", QString::number(QDateTime::currentMSecsSinceEpoch()));
    network->insertPara("systemType", network->systemType);
    network->insertPara("channelNo", channelNo);
    network->insertPara("version", version);
    network->createSign();

    QString url = config.getServerUrl() + network->upgradePath;
    network->sendPostRequest(url);
}

void YoxiUpgrade::upgradeResult(QNetworkReply *reply) {
    qDebug() << "upgradeResult :" << reply->isRunning() << reply->isFinished() << reply->url();
    qDebug() << "upgradeResult--------" << reply->isFinished();

    if (reply->error() != QNetworkReply::NoError) {
        qDebug("upgrade result error .... code: %d\n", int(reply->error()));
        qDebug() << "deleteLater--------------------";
        return;
    }

    QString text = QString::fromUtf8(reply->readAll());
    const int nul = text.indexOf(QChar(0));
    if (nul >= 0) {
        text.truncate(nul);
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        qDebug() << "升级返回内容解析出错：" << logText(text);
        return;
    }

    const QJsonObject result = document.object();
    qDebug() << "返回内容："
             << logText(QString::fromUtf8(QJsonDocument(result).toJson(QJsonDocument::Indented)));
    const int code = result.value("code").toInt(0);
    qDebug() << "code=" << code << "!";

    if (code != 200) {
        qDebug() << "upgrade result error" << logText(result.value("msg").toString()) << "\n";
    } else {
        const QJsonObject data = result.value("data").toObject();
        if (replyInt(data.value("isUpgrade"), 0) != 1) {
            qDebug() << "current version" << logText(data.value("version").toString())
                     << "is latest";
        } else {
            qDebug() << "notice upgrade!";
            const QString version = data.value("version").toString();
            config.setValue(config.downloadUrl, data.value("url").toString());

            // The server's name and version become a file name in the user's
            // download folder: PackageName keeps them to one plain name.
            const QString name = data.value("name").toString();
            const QString suffix = config.getValue(config.upgradePackageSuffix, "exe");
            config.setValue(config.fileName, name);
            config.setValue(config.upgradePackageName, PackageName::compose(name, version, suffix));

            emit upgradeNotice(shownText(version), replyInt(data.value("upgradeType"), 0));
        }
    }
    qDebug() << "deleteLater--------------------";
}
