// The crash report on systems without structured exceptions: handlers for the
// fatal signals.
//
// A signal handler may only make async-signal-safe calls, and the crashed
// process may hold any lock (Qt's, malloc's) or have a broken heap, so Qt can
// not be used to show the report from inside the handler. The handler
// therefore formats the signal number and the fault address with plain
// integer code, starts a fresh copy of the executable with the arguments
// "--crash-report <code> <address>" (fork without atfork handlers, then exec:
// both safe here) and waits for it. That process has a clean heap and its own
// event loop, shows the report box, and exits when the user closes it; then
// the crashed process ends with _exit(128 + signal number), without a core
// dump of its own, as the Windows filter ends the process without the
// system's error report.
#ifndef _WIN32

#include "app/crash/crashreport.h"

#include <QApplication>
#include <QDebug>
#include <QFile>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <sys/wait.h>
#include <unistd.h>

namespace CrashReport {
namespace {

const int fatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

// Filled once by install(); the handler only reads it.
char executablePath[4096];

// Room for the handler to run when the main thread's stack overflowed.
alignas(16) char alternateStack[64 * 1024];

const int hexDigitsMax = 2 * sizeof(std::uintptr_t);

// Lower-case hexadecimal without prefix and without leading zeros.
void formatHex(std::uintptr_t value, char (&out)[hexDigitsMax + 1]) {
    char reversed[hexDigitsMax];
    int count = 0;
    do {
        reversed[count++] = "0123456789abcdef"[value & 0xf];
        value >>= 4;
    } while (value != 0);
    for (int i = 0; i < count; ++i) {
        out[i] = reversed[count - 1 - i];
    }
    out[count] = '\0';
}

pid_t forkWithoutHandlers() {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    // Unlike fork(), _Fork() runs no atfork handlers, which would take the
    // allocator's locks that the crashed thread may hold.
    return _Fork();
#else
    return fork();
#endif
}

void onFatalSignal(int signalNumber, siginfo_t *info, void *) {
    // A second faulting thread waits for the first one to end the process.
    static std::atomic_flag reporting = ATOMIC_FLAG_INIT;
    if (reporting.test_and_set()) {
        for (;;) {
            pause();
        }
    }

    char code[hexDigitsMax + 1];
    char address[hexDigitsMax + 1];
    formatHex(static_cast<std::uintptr_t>(signalNumber), code);
    // Signals sent by a process (kill, raise, abort) carry no fault address.
    const bool hasFaultAddress = info != nullptr && info->si_code > 0;
    formatHex(hasFaultAddress ? reinterpret_cast<std::uintptr_t>(info->si_addr) : 0, address);

    const pid_t child = forkWithoutHandlers();
    if (child == 0) {
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        char *const arguments[] = {executablePath, const_cast<char *>(reportArgument), code,
                                   address, nullptr};
        execv(executablePath, arguments);
        _exit(127);
    }
    if (child > 0) {
        int status = 0;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
    }
    _exit(128 + signalNumber);
}

} // namespace

void install() {
    const QByteArray path = QFile::encodeName(QCoreApplication::applicationFilePath());
    if (path.isEmpty() || path.size() >= static_cast<int>(sizeof(executablePath))) {
        qDebug() << "crash report not installed, executable path unusable:" << path;
        return;
    }
    std::memcpy(executablePath, path.constData(), static_cast<size_t>(path.size()) + 1);

    stack_t stack{};
    stack.ss_sp = alternateStack;
    stack.ss_size = sizeof(alternateStack);
    sigaltstack(&stack, nullptr);

    struct sigaction action {};
    action.sa_sigaction = onFatalSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (int signalNumber : fatalSignals) {
        sigaction(signalNumber, &action, nullptr);
    }
}

} // namespace CrashReport

#endif // _WIN32
