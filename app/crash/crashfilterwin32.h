#ifndef CRASHFILTERWIN32_H
#define CRASHFILTERWIN32_H

// The Win32 side of the crash report, free of Qt so that it can be tested in
// a plain Windows program.
namespace CrashReport {

// Installs the process's unhandled-exception filter. On a crash the filter
// starts `executable` with the arguments `reportArgument` (plain ASCII), the
// exception code and the exception address (lower-case hexadecimal without
// prefix or leading zeros), waits until that process ends, and lets the
// system end the crashed process. Returns false, installing nothing, when the
// command line can not be prepared (empty or overlong path or argument).
bool installCrashFilter(const wchar_t *executable, const char *reportArgument);

} // namespace CrashReport

#endif // CRASHFILTERWIN32_H
