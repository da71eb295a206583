// The crash report on Windows: the process's unhandled-exception filter shows
// the report box on the faulting thread and lets the system end the process
// without its own error report.
#ifdef _WIN32

#include "app/crash/crashreport.h"

#include <windows.h>

namespace CrashReport {
namespace {

LONG WINAPI crashFilter(EXCEPTION_POINTERS *exception) {
    const EXCEPTION_RECORD *record = exception->ExceptionRecord;
    const QString code = QString::number(static_cast<quint32>(record->ExceptionCode), 16);
    const QString address =
        QString::number(reinterpret_cast<quintptr>(record->ExceptionAddress), 16);
    showReport(code, address);
    return EXCEPTION_EXECUTE_HANDLER;
}

} // namespace

void install() {
    SetUnhandledExceptionFilter(crashFilter);
}

} // namespace CrashReport

#endif // _WIN32
