#include "api/network/signdigest.h"

#include <QCryptographicHash>

QString signDigest(const QString &input, const QString &key) {
    return QString::fromLatin1(
        QCryptographicHash::hash((input + key).toLatin1(), QCryptographicHash::Md5).toHex());
}
