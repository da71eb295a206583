// The test side of the fake engine library beside the test program, and the
// steps the bridge's tests share.
#ifndef FAKEENGINE_H
#define FAKEENGINE_H

#include <QLibrary>
#include <QList>
#include <QStringList>

class YoxiCapture;

class FakeEngine {
public:
    // Loads the library the program under test loads; false when it is not
    // there or lacks the test exports.
    bool load();
    // Forgets the calls; the next starts and stops return these values.
    void reset(int startResult = 1, int stopResult = 0);
    QStringList calls();
    // Raises the engine callback with code on another thread and waits.
    bool notifyFromThread(int code);
    // The next setCallback calls the callback with code on the caller's
    // thread before it returns (a code raised during the engine's start).
    void notifyOnRegister(int code);

private:
    QLibrary library;
    const char *(*callsFn)() = nullptr;
    void (*resetFn)(int, int) = nullptr;
    bool (*notifyFn)(int) = nullptr;
    void (*notifyOnRegisterFn)(int) = nullptr;
};

// Starts a cast to 10.0.0.5:7000 with the code AB12CD at 1920x1080.
void startTestCast(YoxiCapture &capture);

// Stops with notice, then without; returns the codes cancelResult carried
// during each of the two stops.
QList<QList<int>> cancelCodesOfTwoStops(YoxiCapture &capture);

#endif // FAKEENGINE_H
