#include "api/network/qreplytimeout.h"

#include <QDebug>
#include <QNetworkReply>
#include <QPointer>
#include <QTimer>

namespace {
// Below this a coarse timer's 5 % slack would matter.
const int coarseTimerFrom = 2000;
} // namespace

QReplyTimeout::QReplyTimeout(QNetworkReply *reply, int timeout) : QObject(nullptr) {
    const bool running = reply && reply->isRunning();
    qDebug() << "QReplyTimeout :" << running << (reply && reply->isFinished())
             << (reply ? reply->url() : QUrl());
    if (!running) {
        // Nothing to watch: the reply is left to its manager.
        deleteLater();
        return;
    }
    qDebug() << "启动网络定时器:";
    // The reply may be deleted with its manager before the watch ends; the
    // guarded pointer then reads as null.
    const QPointer<QNetworkReply> watched(reply);
    QTimer::singleShot(timeout, timeout >= coarseTimerFrom ? Qt::CoarseTimer : Qt::PreciseTimer,
                       this, [this, watched] { onTimeout(watched.data()); });
}

void QReplyTimeout::onTimeout(QNetworkReply *reply) {
    if (reply) {
        qDebug() << "时间到,是否还在请求:" << reply->isRunning();
        if (!reply->isFinished()) {
            qDebug() << "请求已超时";
            // abort() completes the reply at once, so its users see it through
            // the manager's finished signal before the error box appears.
            reply->abort();
            reply->deleteLater();
            emit timeout();
        } else {
            qDebug() << "请求已完成";
            reply->deleteLater();
        }
    }
    deleteLater();
}
