// The unhandled-exception filter behind the crash report on Windows.
//
// The filter runs on the faulting thread, which may be an engine worker, and
// that thread may hold any lock (Qt's, the heap's) or have broken the heap: a
// message box shown there may never appear or crash again inside Qt. So the
// filter, as the signal handler elsewhere does, formats the exception code
// and address with plain integer code into a buffer prepared at install time,
// starts a fresh copy of the executable with "--crash-report <code>
// <address>", waits until the user has closed its report, and returns
// EXCEPTION_EXECUTE_HANDLER so that the system ends the process without its
// own error report.
#ifdef _WIN32

#include "app/crash/crashfilterwin32.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <cwchar>

namespace CrashReport {
namespace {

const int hexDigitsMax = 2 * sizeof(std::uintptr_t);

// The quoted executable path and the report argument, filled once by
// installCrashFilter(), then the code and address appended by the filter.
wchar_t commandLine[MAX_PATH + 64 + 2 * (hexDigitsMax + 1)];
size_t commandPrefixLength = 0;

bool append(size_t &used, const wchar_t *text) {
    const size_t length = std::wcslen(text);
    if (used + length >= sizeof(commandLine) / sizeof(commandLine[0])) {
        return false;
    }
    std::memcpy(commandLine + used, text, length * sizeof(wchar_t));
    used += length;
    commandLine[used] = L'\0';
    return true;
}

// Lower-case hexadecimal without prefix and without leading zeros.
void formatHex(std::uintptr_t value, wchar_t (&out)[hexDigitsMax + 1]) {
    wchar_t reversed[hexDigitsMax];
    int count = 0;
    do {
        reversed[count++] = L"0123456789abcdef"[value & 0xf];
        value >>= 4;
    } while (value != 0);
    for (int i = 0; i < count; ++i) {
        out[i] = reversed[count - 1 - i];
    }
    out[count] = L'\0';
}

LONG WINAPI crashFilter(EXCEPTION_POINTERS *exception) {
    // A second faulting thread waits for the first one to end the process.
    static volatile LONG reporting = 0;
    if (InterlockedExchange(&reporting, 1) != 0) {
        for (;;) {
            Sleep(INFINITE);
        }
    }

    const EXCEPTION_RECORD *record = exception->ExceptionRecord;
    wchar_t code[hexDigitsMax + 1];
    wchar_t address[hexDigitsMax + 1];
    formatHex(static_cast<std::uint32_t>(record->ExceptionCode), code);
    formatHex(reinterpret_cast<std::uintptr_t>(record->ExceptionAddress), address);

    size_t used = commandPrefixLength;
    if (append(used, L" ") && append(used, code) && append(used, L" ") && append(used, address)) {
        STARTUPINFOW startup;
        ZeroMemory(&startup, sizeof startup);
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process;
        ZeroMemory(&process, sizeof process);
        if (CreateProcessW(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                           &startup, &process)) {
            WaitForSingleObject(process.hProcess, INFINITE);
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
        }
    }
    return EXCEPTION_EXECUTE_HANDLER;
}

} // namespace

bool installCrashFilter(const wchar_t *executable, const char *reportArgument) {
    const size_t pathLength = std::wcslen(executable);
    size_t used = 0;
    bool prepared = pathLength > 0 && pathLength < MAX_PATH && append(used, L"\"") &&
                    append(used, executable) && append(used, L"\" ") && *reportArgument != '\0';
    for (const char *c = reportArgument; prepared && *c; ++c) {
        const wchar_t wide[] = {static_cast<wchar_t>(static_cast<unsigned char>(*c)), L'\0'};
        prepared = append(used, wide);
    }
    if (!prepared) {
        return false;
    }
    commandPrefixLength = used;
    SetUnhandledExceptionFilter(crashFilter);
    return true;
}

} // namespace CrashReport

#endif // _WIN32
