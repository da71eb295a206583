#include "api/network/replyfields.h"

#include <climits>
#include <cmath>

namespace {
const int defaultWidth = 1920;
const int defaultHeight = 1080;
const int smallestSide = 16;
const int largestSide = 4096;
const int lowestPort = 1;
const int highestPort = 65534;

bool wholeNumber(const QJsonValue &value, double *number) {
    if (!value.isDouble()) {
        return false;
    }
    *number = value.toDouble();
    return std::isfinite(*number) && *number == std::trunc(*number);
}

// One side of the picture: 0 when the reply gives none, -1 when the one it
// gives is unusable.
int readSide(const QJsonValue &value) {
    if (!value.isDouble()) {
        return 0;
    }
    double number = 0;
    if (!wholeNumber(value, &number)) {
        return -1;
    }
    if (number == 0) {
        return 0;
    }
    return number >= smallestSide && number <= largestSide ? int(number) : -1;
}
} // namespace

int replyInt(const QJsonValue &value, int fallback) {
    double number = 0;
    if (wholeNumber(value, &number)) {
        return number >= INT_MIN && number <= INT_MAX ? int(number) : fallback;
    }
    if (value.isString()) {
        bool ok = false;
        const int parsed = value.toString().trimmed().toInt(&ok, 10);
        return ok ? parsed : fallback;
    }
    return fallback;
}

bool readConnectTarget(const QJsonObject &data, ConnectTarget *target, QString *reason) {
    target->ip = data.value(QStringLiteral("ip")).toString();

    double port = 0;
    if (!wholeNumber(data.value(QStringLiteral("port")), &port) || port < lowestPort ||
        port > highestPort) {
        *reason = QStringLiteral("port unusable");
        return false;
    }
    target->port = int(port);

    const int width = readSide(data.value(QStringLiteral("width")));
    const int height = readSide(data.value(QStringLiteral("height")));
    if (width < 0 || height < 0) {
        *reason = QStringLiteral("picture size unusable");
        return false;
    }
    const bool given = width > 0 && height > 0;
    target->width = given ? width : defaultWidth;
    target->height = given ? height : defaultHeight;
    return true;
}
