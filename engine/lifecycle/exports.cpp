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
// The picture sizes the engine accepts (0 selects the default); larger ones
// would take memory without bound, smaller ones no encoder accepts.
constexpr int kMinPictureSide = 16;
constexpr int kMaxPictureSide = 4096;

std::mutex g_exportLock;
CastContext *g_currentCast = nullptr;

// The cast whose start is under way, for a stop from another thread to
// cancel its connects. Set and cleared under g_startingLock while
// startCapture holds g_exportLock, so the context outlives every use here.
std::mutex g_startingLock;
CastContext *g_startingCast = nullptr;

// Set on the host's thread while setCallback delivers the codes kept for it.
thread_local bool tl_deliveringCallback = false;

void setStartingCast(CastContext *cast) {
    std::lock_guard<std::mutex> lock(g_startingLock);
    g_startingCast = cast;
}

void cancelStartUnderWay() {
    std::lock_guard<std::mutex> lock(g_startingLock);
    if (g_startingCast)
        g_startingCast->m_startCancelled.store(true);
}

// Ends and frees the current cast, if any. A stop the host asked for (or a
// new start that replaces the cast) reports nothing: the callbacks close
// before the running flags clear, so a send or reconnect that the stop
// interrupts does not reach the host as a failure.
void endCurrentCast() {
    CastContext *cast = g_currentCast;
    if (!cast)
        return;
    closeCallbacks(cast);
    stopCast(cast);
    freeCast(cast);
    g_currentCast = nullptr;
}

bool sideFits(int side) {
    return side == 0 || (side >= kMinPictureSide && side <= kMaxPictureSide);
}

// H.264 in 4:2:0 needs even sides; an odd one loses its last pixel.
int evenSide(int side) {
    return side & ~1;
}

bool argumentsFit(const char *host, const char *castNum, int width, int height) {
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
    if (!sideFits(width) || !sideFits(height)) {
        logLine("startCapture: picture size %dx%d outside %d to %d\n", width, height,
                kMinPictureSide, kMaxPictureSide);
        return false;
    }
    return true;
}

// A callback that calls back into the engine would wait for its own thread.
bool calledFromWorker(const char *function) {
    if (!isEngineWorkerThread() && !tl_deliveringCallback)
        return false;
    logLine("%s: not allowed from an engine thread (callback)\n", function);
    return true;
}

} // namespace

extern "C" PIXPIPE_EXPORT int PIXPIPE_CALL startCapture(char *host, int port, char *castNum,
                                                        int width, int height) {
    if (calledFromWorker("startCapture") || !argumentsFit(host, castNum, width, height))
        return -1;
    std::lock_guard<std::mutex> lock(g_exportLock);
    // A cast the host did not stop (failed start, fatal end, or still running)
    // ends here before the queues are reset for the new one.
    endCurrentCast();
    CastContext *cast = createCast();
    if (!cast) {
        logLine("star cast failed\n");
        return -1;
    }
    g_currentCast = cast;
    setStartingCast(cast);
    int result = startCast(cast, host, port, castNum, evenSide(width), evenSide(height));
    setStartingCast(nullptr);
    return result;
}

extern "C" PIXPIPE_EXPORT int PIXPIPE_CALL stopCapture(void) {
    logLine("stopCapture\n");
    if (calledFromWorker("stopCapture"))
        return -1;
    // A start still connecting gives up at once and returns -1; this stop
    // then frees its context.
    cancelStartUnderWay();
    std::lock_guard<std::mutex> lock(g_exportLock);
    if (!g_currentCast)
        return -1;
    endCurrentCast();
    return 0;
}

extern "C" PIXPIPE_EXPORT int PIXPIPE_CALL setCallback(intptr_t userData, CaptureCallback fn) {
    if (calledFromWorker("setCallback"))
        return -1;
    std::lock_guard<std::mutex> lock(g_exportLock);
    CastContext *cast = g_currentCast;
    if (!fn || !cast)
        return -1;
    tl_deliveringCallback = true;
    registerCallback(cast, userData, fn);
    tl_deliveringCallback = false;
    return 0;
}
