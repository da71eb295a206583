// The test side of the fake engine library beside the test program.
#ifndef FAKEENGINE_H
#define FAKEENGINE_H

#include <QLibrary>
#include <QStringList>

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

#endif // FAKEENGINE_H
