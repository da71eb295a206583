#ifndef HEARTUTIL_H
#define HEARTUTIL_H

#include <QObject>
#include <QString>

class ConfigUtil;
class NetworkUtil;
class QTimerEvent;

// While a cast runs: a signed heartbeat GET every interval (10 s), and the
// system and display kept awake. Stopping sends the disconnect request with
// the cast's end code. Replies are not read.
class HeartUtil : public QObject {
    Q_OBJECT
public:
    // intervalMs is the heartbeat period; the program uses 10000, tests
    // shorten it.
    explicit HeartUtil(QObject *parent = nullptr, int intervalMs = 10000);
    ~HeartUtil() override;

    // The first heartbeat goes out one interval after the start.
    void startHeart(const QString &code);
    // errorCode is sent unchanged as "errorCode" of the disconnect request.
    void stopHeart(const QString &errorCode);
    // The disconnect request alone, for a cast that the server paired but
    // that never started (no heartbeat ran for it).
    void reportDisconnect(const QString &code, const QString &errorCode);

signals:
    // A request of this object timed out (NetworkUtil::requestTimedOut).
    void requestTimedOut();

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    void sendHeart();
    void sendDisconnect(const QString &errorCode);

    const int m_heart_interval;
    QString m_code;
    int m_heart_timer_id = 0; // 0: no heartbeat timer running
    NetworkUtil *networkUtil;
    ConfigUtil *config;
};

#endif // HEARTUTIL_H
