// The crash report on Windows: installs the unhandled-exception filter of
// crashfilterwin32.cpp for this executable and logs when it can not.
#ifdef _WIN32

#include "app/crash/crashfilterwin32.h"
#include "app/crash/crashreport.h"

#include <QCoreApplication>
#include <QDebug>

#include <windows.h>

namespace CrashReport {

void install() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || !installCrashFilter(path, reportArgument)) {
        qDebug() << "crash report not installed, executable path unusable:"
                 << QCoreApplication::applicationFilePath();
    }
}

} // namespace CrashReport

#endif // _WIN32
