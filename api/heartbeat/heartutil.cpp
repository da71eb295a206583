#include "api/heartbeat/heartutil.h"

#include "api/network/networkutil.h"
#include "app/config/configutil.h"
#include "app/platform/keepawake.h"

#include <QDateTime>
#include <QDebug>
#include <QTimerEvent>

namespace {
QString timestampNow() {
    return QString::number(QDateTime::currentMSecsSinceEpoch());
}
} // namespace

HeartUtil::HeartUtil(QObject *parent, int intervalMs)
    : QObject(parent), m_heart_interval(intervalMs), networkUtil(new NetworkUtil(true)),
      config(new ConfigUtil()) {
    connect(networkUtil, SIGNAL(requestTimedOut()), this, SIGNAL(requestTimedOut()),
            Qt::DirectConnection);
}

HeartUtil::~HeartUtil() {
    delete networkUtil;
    delete config;
}

void HeartUtil::startHeart(const QString &code) {
    m_code = code;
    // A start while beating replaces the running timer instead of adding one.
    if (m_heart_timer_id != 0) {
        killTimer(m_heart_timer_id);
    }
    m_heart_timer_id = startTimer(m_heart_interval, Qt::CoarseTimer);
    qDebug() << "m_heart_timer_id=======" << m_heart_timer_id;
    keepSystemAndDisplayAwake();
}

void HeartUtil::stopHeart(const QString &errorCode) {
    // Without a start there is no timer of ours, and id 0 must not be killed.
    if (m_heart_timer_id != 0) {
        killTimer(m_heart_timer_id);
        m_heart_timer_id = 0;
    }
    allowSystemAndDisplaySleep();
    sendDisconnect(errorCode);
}

void HeartUtil::reportDisconnect(const QString &code, const QString &errorCode) {
    m_code = code;
    sendDisconnect(errorCode);
}

void HeartUtil::timerEvent(QTimerEvent *event) {
    if (m_heart_timer_id != 0 && event->timerId() == m_heart_timer_id) {
        sendHeart();
    }
}

void HeartUtil::sendHeart() {
    networkUtil->clearPara();
    networkUtil->insertPara(QStringLiteral("timestamp"), timestampNow());
    networkUtil->insertPara(QStringLiteral("code"), m_code);
    networkUtil->createSign();
    QString url = config->getServerUrl() + networkUtil->heartPath;
    networkUtil->sendGetRequest(url);
}

void HeartUtil::sendDisconnect(const QString &errorCode) {
    networkUtil->clearPara();
    networkUtil->insertPara(QStringLiteral("timestamp"), timestampNow());
    networkUtil->insertPara(QStringLiteral("code"), m_code);
    networkUtil->insertPara(QStringLiteral("errorCode"), errorCode);
    networkUtil->createSign();
    QString url = config->getServerUrl() + networkUtil->disConnectPath;
    networkUtil->sendPostRequest(url);
}
