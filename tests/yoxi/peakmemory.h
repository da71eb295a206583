// The test process's peak resident memory, to bound what a hostile server's
// reply or download can make the program hold.
#ifndef PEAKMEMORY_H
#define PEAKMEMORY_H

#include <QFile>
#include <QRegularExpression>

// VmHWM of /proc/self/status in MiB, or -1 when it cannot be read.
inline double peakResidentMiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    const QRegularExpressionMatch match = QRegularExpression(QStringLiteral("VmHWM:\\s*(\\d+) kB"))
                                              .match(QString::fromLatin1(status.readAll()));
    return match.hasMatch() ? match.captured(1).toDouble() / 1024 : -1;
}

#endif // PEAKMEMORY_H
