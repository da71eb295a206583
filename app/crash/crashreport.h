#ifndef CRASHREPORT_H
#define CRASHREPORT_H

#include <QString>

// Debug-mode crash report: when the process hits a fatal fault, the user sees
// a critical message box "程式崩溃" with the fault's code and address, and the
// process ends.
namespace CrashReport {

// Installs the process-wide hook: the unhandled-exception filter on Windows,
// handlers for the fatal signals elsewhere. Needs the application object.
void install();

// The rich-text body of the report for a code and an address, both in
// lower-case hexadecimal without prefix.
QString reportBody(const QString &code, const QString &address);

// Shows the modal report box and waits until the user closes it.
void showReport(const QString &code, const QString &address);

// The crashed process starts a fresh copy of the executable with the
// arguments reportArgument, code and address to show its report: the
// crashing thread may be any thread and may hold any lock, so Qt can not be
// used there (see crashsignals.cpp and crashfilterwin32.cpp).
extern const char reportArgument[];

// Returns true and fills code and address when argv is such a request.
bool isReportRequest(int argc, char **argv, QString *code, QString *address);

// Entry of the report process: builds the application and shows the report.
int runReportProcess(int argc, char **argv, const QString &code, const QString &address);

} // namespace CrashReport

#endif // CRASHREPORT_H
