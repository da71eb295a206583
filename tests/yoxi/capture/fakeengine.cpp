#include "fakeengine.h"

#include <QCoreApplication>

bool FakeEngine::load() {
#ifdef _WIN32
    library.setFileName(QCoreApplication::applicationDirPath() + "/pixpipe.dll");
#else
    library.setFileName(QCoreApplication::applicationDirPath() + "/libpixpipe.so");
#endif
    callsFn = reinterpret_cast<decltype(callsFn)>(library.resolve("fakeEngineCalls"));
    resetFn = reinterpret_cast<decltype(resetFn)>(library.resolve("fakeEngineReset"));
    notifyFn = reinterpret_cast<decltype(notifyFn)>(library.resolve("fakeEngineNotifyFromThread"));
    notifyOnRegisterFn = reinterpret_cast<decltype(notifyOnRegisterFn)>(
        library.resolve("fakeEngineNotifyOnRegister"));
    return callsFn && resetFn && notifyFn && notifyOnRegisterFn;
}

void FakeEngine::reset(int startResult, int stopResult) {
    resetFn(startResult, stopResult);
}

QStringList FakeEngine::calls() {
    return QString::fromUtf8(callsFn()).split('\n', Qt::SkipEmptyParts);
}

bool FakeEngine::notifyFromThread(int code) {
    return notifyFn(code);
}

void FakeEngine::notifyOnRegister(int code) {
    notifyOnRegisterFn(code);
}
