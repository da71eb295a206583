#ifndef YOXIUPGRADE_H
#define YOXIUPGRADE_H

#include "app/config/configutil.h"

#include <QObject>
#include <QString>

class NetworkUtil;
class QNetworkReply;

// Asks the cast management server whether a newer version exists for the
// channel. When one does, stores where to download the package and the local
// name to save it under, and announces the version through upgradeNotice.
class YoxiUpgrade : public QObject {
    Q_OBJECT
public:
    explicit YoxiUpgrade(QObject *parent = nullptr);
    ~YoxiUpgrade() override;

    void checkGrade(QString channelNo, QString version);

signals:
    // The new version's text and the upgrade type (1: forced).
    void upgradeNotice(QString version, int upgradeType);
    // A request of this object timed out (NetworkUtil::requestTimedOut).
    void requestTimedOut();

private slots:
    void upgradeResult(QNetworkReply *reply);

private:
    NetworkUtil *network;
    ConfigUtil config;
};

#endif // YOXIUPGRADE_H
