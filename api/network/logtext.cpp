#include "api/network/logtext.h"

#include <QByteArray>

namespace {
const int logLimitBytes = 4096;
} // namespace

QString logText(const QString &text) {
    const QByteArray utf8 = text.toUtf8();
    if (utf8.size() <= logLimitBytes) {
        return text;
    }
    // Back up to the start of a character so that the kept part stays valid UTF-8.
    int keep = logLimitBytes;
    while (keep > 0 && (uchar(utf8.at(keep)) & 0xC0) == 0x80) {
        --keep;
    }
    return QString::fromUtf8(utf8.constData(), keep) +
           QStringLiteral("...[cut after %1 of %2 bytes]").arg(keep).arg(utf8.size());
}
