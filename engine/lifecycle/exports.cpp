// The three exported functions. They run on the host's thread and act on the
// one current cast; a lock keeps calls from different host threads apart.
#include "pixpipe.h"

#include "lifecycle/cast_control.h"
#include "lifecycle/cast_lifecycle.h"
#include "lifecycle/engine_log.h"
#include "lifecycle/worker_threads.h"
#include "link/message_framing.h"

#include <cstring>
#include <mutex>

using namespace pixpipe;

namespace {

constexpr size_t kMaxHostLength = sizeof(CastContext::m_ip) - 1;

std::mutex g_exportLock;
CastContext *g_currentCast = nullptr;

// Ends and frees the current cast, if any. Used with notify false when a new
// start replaces a cast that the host did not stop.
void endCurrentCast(bool notify) {
    CastContext *cast = g_currentCast;
    if (!cast)
        return;
    if (!notify)
        closeCallbacks(cast);
    stopCast(cast);
    freeCast(cast);
    g_currentCast = nullptr;
}

bool argumentsFit(const char *host, const char *castNum) {
    if (!host || !castNum) {
        logLine("startCapture: host or cast code missing\n");
        return false;
    }
    if (std::strlen(host) > kMaxHostLength) {
        logLine("startCapture: host longer than %d characters\n", static_cast<int>(kMaxHostLength));
        return false;
    }
    if (std::strlen(castNum) > kMaxCastCodeBytes) {
        logLine("startCapture: cast code longer than %d bytes\n",
                static_cast<int>(kMaxCastCodeBytes));
        return false;
    }
    return true;
}

// A callback that calls back into the engine would wait for its own thread.
bool calledFromWorker(const char *function) {
    if (!isEngineWorkerThread())
        return false;
    logLine("%s: not allowed from an engine thread (callback)\n", function);
    return true;
}

} // namespace

extern "C" PIXPIPE_EXPORT int PIXPIPE_CALL startCapture(char *host, int port, char *castNum,
                                                        int width, int height) {
    if (calledFromWorker("startCapture") || !argumentsFit(host, castNum))
        return -1;
    std::lock_guard<std::mutex> lock(g_exportLock);
    // A cast the host did not stop (failed start, fatal end, or still running)
    // ends here before the queues are reset for the new one.
    endCurrentCast(false);
    CastContext *cast = createCast();
    if (!cast) {
        logLine("star cast failed\n");
        return -1;
    }
    g_currentCast = cast;
    return startCast(cast, host, port, castNum, width, height);
}

extern "C" PIXPIPE_EXPORT int PIXPIPE_CALL stopCapture(void) {
    logLine("stopCapture\n");
    if (calledFromWorker("stopCapture"))
        return -1;
    std::lock_guard<std::mutex> lock(g_exportLock);
    if (!g_currentCast)
        return -1;
    endCurrentCast(true);
    return 0;
}

extern "C" PIXPIPE_EXPORT int PIXPIPE_CALL setCallback(intptr_t userData, CaptureCallback fn) {
    if (calledFromWorker("setCallback"))
        return -1;
    std::lock_guard<std::mutex> lock(g_exportLock);
    CastContext *cast = g_currentCast;
    if (!fn || !cast)
        return -1;
    std::lock_guard<std::mutex> callbackLock(cast->m_callbackLock);
    cast->m_userData.store(userData);
    cast->m_callback.store(fn);
    return 0;
}
