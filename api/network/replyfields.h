#ifndef REPLYFIELDS_H
#define REPLYFIELDS_H

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

// Reading the fields of a server reply, which the server may send in any type.

// A whole number sent as a JSON number or as decimal text ("1"); fallback for
// anything else (absent, null, a fraction, other text).
int replyInt(const QJsonValue &value, int fallback);

// The receiver to cast to, from the connect reply's "data".
struct ConnectTarget {
    QString ip;
    int port = 0;
    int width = 0;
    int height = 0;
};

// Reads "ip", "port", "width" and "height". A width or height that is 0,
// absent or not a number means the default 1920 x 1080; a port outside
// 1-65534 (the audio link uses the port plus one) or a size outside 16-4096
// makes the reply unusable: false, with the reason in *reason.
bool readConnectTarget(const QJsonObject &data, ConnectTarget *target, QString *reason);

#endif // REPLYFIELDS_H
