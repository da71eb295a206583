// A stand-in for the engine library in the main-window tests: it is built as
// libpixpipe.so beside the test program, so the program's loader finds it as
// the engine, and the test links against it to steer it and read its record.
#ifndef FAKE_ENGINE_H
#define FAKE_ENGINE_H

#include "engine/include/pixpipe.h"

#ifdef __cplusplus
extern "C" {
#endif

struct FakeEngineRecord {
    int startCalls;
    int stopCalls;
    int callbackRegistrations;
    char host[64];
    int port;
    char code[64];
    int width;
    int height;
};

PIXPIPE_EXPORT void fakeEngineReset(void);
// What the next startCapture calls return (1 by default).
PIXPIPE_EXPORT void fakeEngineSetStartResult(int result);
PIXPIPE_EXPORT struct FakeEngineRecord fakeEngineRecord(void);
// Calls the registered callback with code from a thread of its own, as the
// engine's worker threads do, and waits for that thread. Returns 0, or -1
// when no callback is registered.
PIXPIPE_EXPORT int fakeEngineNotify(int code);

#ifdef __cplusplus
}
#endif

#endif // FAKE_ENGINE_H
