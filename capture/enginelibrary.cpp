#include "capture/enginelibrary.h"

#include <QCoreApplication>
#include <QDebug>
#include <QLibrary>
#include <QStringList>

namespace {

#ifdef _WIN32
const char engineFileName[] = "pixpipe.dll";
#else
const char engineFileName[] = "libpixpipe.so";
#endif

// The process-wide handle; its file name is set at the first load, when the
// executable's folder is known.
QLibrary engineLibrary;
EngineExports exports = {};
bool resolved = false;

void logLoadFailure(const QString &reason) {
    qDebug() << qPrintable(QStringLiteral("load fail ") + QLatin1String(engineFileName)) << reason;
}

} // namespace

const EngineExports *engineExports() {
    if (resolved) {
        return &exports;
    }
    if (!engineLibrary.isLoaded()) {
        engineLibrary.setFileName(QCoreApplication::applicationDirPath() + QLatin1Char('/') +
                                  QLatin1String(engineFileName));
        if (!engineLibrary.load()) {
            logLoadFailure(engineLibrary.fileName() + QStringLiteral(": ") +
                           engineLibrary.errorString());
            return nullptr;
        }
    }
    EngineExports found;
    found.startCapture =
        reinterpret_cast<decltype(found.startCapture)>(engineLibrary.resolve("startCapture"));
    found.stopCapture =
        reinterpret_cast<decltype(found.stopCapture)>(engineLibrary.resolve("stopCapture"));
    found.setCallback =
        reinterpret_cast<decltype(found.setCallback)>(engineLibrary.resolve("setCallback"));
    // An engine without one of the exports cannot be driven: treat it as
    // not loadable rather than calling through a null pointer.
    QStringList missing;
    if (!found.startCapture) {
        missing << QStringLiteral("startCapture");
    }
    if (!found.stopCapture) {
        missing << QStringLiteral("stopCapture");
    }
    if (!found.setCallback) {
        missing << QStringLiteral("setCallback");
    }
    if (!missing.isEmpty()) {
        logLoadFailure(engineLibrary.fileName() + QStringLiteral(" lacks the export(s) ") +
                       missing.join(QStringLiteral(", ")));
        return nullptr;
    }
    exports = found;
    resolved = true;
    return &exports;
}
