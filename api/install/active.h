#ifndef ACTIVE_H
#define ACTIVE_H

#include "app/config/configutil.h"

#include <QObject>

class NetworkUtil;

// Reports this PC to the cast management server at every start: machine id,
// host name, channel, device type and operating system. The answer is not
// read; the program works the same whether the report arrives or not.
class Active : public QObject {
    Q_OBJECT
public:
    explicit Active(QObject *parent = nullptr);
    ~Active() override;

    void reportActive();

signals:
    // A request of this object timed out (NetworkUtil::requestTimedOut).
    void requestTimedOut();

private:
    NetworkUtil *network;
    ConfigUtil config;
};

#endif // ACTIVE_H
