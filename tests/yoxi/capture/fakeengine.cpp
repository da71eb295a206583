#include "fakeengine.h"

#include "capture/yoxicapture.h"

#include <QCoreApplication>
#include <QSignalSpy>

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

void startTestCast(YoxiCapture &capture) {
    QByteArray host("10.0.0.5");
    QByteArray code("AB12CD");
    capture.startCapture(host.data(), 7000, code.data(), 1920, 1080);
}

QList<QList<int>> cancelCodesOfTwoStops(YoxiCapture &capture) {
    QSignalSpy cancels(&capture, &YoxiCapture::cancelResult);
    QList<QList<int>> codes;
    for (bool notice : {true, false}) {
        capture.stopCapture(notice);
        QList<int> during;
        for (const QList<QVariant> &arguments : cancels) {
            during.append(arguments.first().toInt());
        }
        codes.append(during);
        cancels.clear();
    }
    return codes;
}
