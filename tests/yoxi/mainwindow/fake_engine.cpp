#include "fake_engine.h"

#include <cstring>
#include <mutex>
#include <thread>

namespace {
std::mutex mutex;
FakeEngineRecord record = {};
int startResult = 1;
bool castRunning = false;
CaptureCallback callback = nullptr;
intptr_t callbackUserData = 0;

void copyText(char *target, size_t size, const char *text) {
    std::strncpy(target, text ? text : "", size - 1);
    target[size - 1] = '\0';
}
} // namespace

extern "C" {

int PIXPIPE_CALL startCapture(char *host, int port, char *castNum, int width, int height) {
    std::lock_guard<std::mutex> lock(mutex);
    ++record.startCalls;
    copyText(record.host, sizeof record.host, host);
    copyText(record.code, sizeof record.code, castNum);
    record.port = port;
    record.width = width;
    record.height = height;
    castRunning = startResult > 0;
    callback = nullptr;
    return startResult;
}

int PIXPIPE_CALL stopCapture(void) {
    std::lock_guard<std::mutex> lock(mutex);
    ++record.stopCalls;
    const bool wasRunning = castRunning;
    castRunning = false;
    callback = nullptr;
    return wasRunning ? 0 : -1;
}

int PIXPIPE_CALL setCallback(intptr_t userData, CaptureCallback fn) {
    std::lock_guard<std::mutex> lock(mutex);
    if (!fn || !castRunning) {
        return -1;
    }
    ++record.callbackRegistrations;
    callback = fn;
    callbackUserData = userData;
    return 0;
}

void fakeEngineReset(void) {
    std::lock_guard<std::mutex> lock(mutex);
    record = {};
    startResult = 1;
    castRunning = false;
    callback = nullptr;
    callbackUserData = 0;
}

void fakeEngineSetStartResult(int result) {
    std::lock_guard<std::mutex> lock(mutex);
    startResult = result;
}

FakeEngineRecord fakeEngineRecord(void) {
    std::lock_guard<std::mutex> lock(mutex);
    return record;
}

int fakeEngineNotify(int code) {
    CaptureCallback fn;
    intptr_t userData;
    {
        std::lock_guard<std::mutex> lock(mutex);
        fn = callback;
        userData = callbackUserData;
    }
    if (!fn) {
        return -1;
    }
    std::thread worker([fn, userData, code] { fn(userData, code); });
    worker.join();
    return 0;
}
}
