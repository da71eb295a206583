// A stand-in for the engine library: the three exports record their calls
// and return what the test asked for; extra exports let the test read the
// record and raise notifications from a thread of the engine's own.
#include "pixpipe.h"

#include <mutex>
#include <string>
#include <thread>

#define FAKE_ENGINE_EXPORT extern "C" PIXPIPE_EXPORT

namespace {
std::mutex mutex;
std::string calls;
int startResult = 1;
int stopResult = 0;
intptr_t callbackUser = 0;
CaptureCallback callback = nullptr;
// A code the next setCallback delivers on the caller's thread, as the engine
// does with a code raised during its start; 0 for none.
int codeOnRegister = 0;

void record(const std::string &line) {
    std::lock_guard<std::mutex> lock(mutex);
    calls += line + "\n";
}
} // namespace

PIXPIPE_EXPORT int PIXPIPE_CALL startCapture(char *host, int port, char *castNum, int width,
                                             int height) {
    record("startCapture " + std::string(host ? host : "(null)") + " " + std::to_string(port) +
           " " + std::string(castNum ? castNum : "(null)") + " " + std::to_string(width) + "x" +
           std::to_string(height));
    return startResult;
}

PIXPIPE_EXPORT int PIXPIPE_CALL stopCapture(void) {
    record("stopCapture");
    return stopResult;
}

#ifndef FAKE_ENGINE_WITHOUT_SET_CALLBACK
PIXPIPE_EXPORT int PIXPIPE_CALL setCallback(intptr_t userData, CaptureCallback fn) {
    record("setCallback " + std::to_string(userData));
    int pending;
    {
        std::lock_guard<std::mutex> lock(mutex);
        callbackUser = userData;
        callback = fn;
        pending = codeOnRegister;
        codeOnRegister = 0;
    }
    if (fn && pending != 0) {
        fn(userData, pending);
    }
    return fn ? 0 : -1;
}
#endif

// Every call recorded since the last reset, one per line.
FAKE_ENGINE_EXPORT const char *fakeEngineCalls() {
    static std::string copy;
    std::lock_guard<std::mutex> lock(mutex);
    copy = calls;
    return copy.c_str();
}

FAKE_ENGINE_EXPORT void fakeEngineReset(int nextStartResult, int nextStopResult) {
    std::lock_guard<std::mutex> lock(mutex);
    calls.clear();
    startResult = nextStartResult;
    stopResult = nextStopResult;
    callbackUser = 0;
    callback = nullptr;
    codeOnRegister = 0;
}

FAKE_ENGINE_EXPORT void fakeEngineNotifyOnRegister(int code) {
    std::lock_guard<std::mutex> lock(mutex);
    codeOnRegister = code;
}

// Calls the registered callback with code on a new thread and waits for it;
// returns false when no callback is registered.
FAKE_ENGINE_EXPORT bool fakeEngineNotifyFromThread(int code) {
    CaptureCallback fn;
    intptr_t user;
    {
        std::lock_guard<std::mutex> lock(mutex);
        fn = callback;
        user = callbackUser;
    }
    if (!fn) {
        return false;
    }
    std::thread worker([fn, user, code] { fn(user, code); });
    worker.join();
    return true;
}
