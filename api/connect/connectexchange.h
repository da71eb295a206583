// The connect exchange with the cast management server: the signed request
// that pairs this PC with the receiver showing the cast code, and the checks
// of its reply, which name the receiver's address and picture size.
#pragma once

#include "app/config/configutil.h"
#include "app/display/ratioutil.h"

#include <QByteArray>
#include <QObject>
#include <QString>

class NetworkUtil;
class QNetworkReply;
class ScreenUtil;

class ConnectExchange : public QObject {
    Q_OBJECT
public:
    // The request goes out through network, whose networkFinished its owner
    // hands to readReply; screen gives the resolution and the ratio to keep.
    ConnectExchange(NetworkUtil *network, const ScreenUtil *screen);

    void request(const QString &code);
    // With keepScreenRatio the receiver's picture size is fitted to the PC
    // screen's aspect ratio. A body that is no JSON is only logged.
    void readReply(QNetworkReply *reply, bool keepScreenRatio);

signals:
    // The receiver to cast to: address as Latin-1 text, control port, size.
    void castTarget(QByteArray host, int port, int width, int height);
    // The text to show the user.
    void failed(QString text);

private:
    NetworkUtil *network;
    const ScreenUtil *screen;
    ConfigUtil config;
    RatioUtil ratioUtil;
};
