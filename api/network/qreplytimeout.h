#ifndef QREPLYTIMEOUT_H
#define QREPLYTIMEOUT_H

#include <QObject>

class QNetworkReply;

// Watches one request: `timeout` milliseconds after it was sent, aborts the
// reply if it is still open (and then emits timeout()), and in every case
// schedules the reply's deletion. It is the only place where replies are
// deleted, so a reply stays valid for the whole watch however early it
// finishes. The watcher releases itself after its single check.
class QReplyTimeout : public QObject {
    Q_OBJECT
public:
    QReplyTimeout(QNetworkReply *reply, int timeout);

signals:
    void timeout();

private slots:
    void onTimeout(QNetworkReply *reply);
};

#endif // QREPLYTIMEOUT_H
