#include "api/install/active.h"

#include "api/network/networkutil.h"

#include <QDateTime>
#include <QSysInfo>

Active::Active(QObject *parent) : QObject(parent), network(new NetworkUtil(true)) {
    connect(network, SIGNAL(requestTimedOut()), this, SIGNAL(requestTimedOut()),
            Qt::DirectConnection);
}

Active::~Active() {
    delete network;
}

void Active::reportActive() {
    QByteArray machineId = QSysInfo::machineUniqueId();
    const int nul = machineId.indexOf('\0');
    if (nul >= 0) {
        machineId.truncate(nul);
    }

    network->clearPara();
    network->insertPara("timestamp", QString::number(QDateTime::currentMSecsSinceEpoch()));
    network->insertPara("uuid", QString::fromUtf8(machineId));
    network->insertPara("name", QSysInfo::machineHostName());
    network->insertPara("mac", QString());
    network->insertPara("channel", QStringLiteral("official"));
    network->insertPara("deviceType", QStringLiteral("1"));
    network->insertPara("deviceSystemVersion", QSysInfo::prettyProductName());
    network->createSign();

    QString url = config.getServerUrl() + network->activePath;
    network->sendPostRequest(url);
}
