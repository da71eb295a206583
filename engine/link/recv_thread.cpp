#include "lifecycle/cast_lifecycle.h"
#include "lifecycle/engine_log.h"
#include "lifecycle/worker_threads.h"
#include "link/receiver_link.h"

namespace pixpipe {

namespace {

constexpr int kFailedReadLimit = 5;
constexpr int kFailedReadPauseMs = 1000;

// The receiver ended the cast, or the link failed for good: the receive
// thread's own way of ending the whole cast.
void endCastFromReceiver(CastContext *cast, int code) {
    cast->m_flagrecv.store(1);
    failVideoSide(cast, code);
}

} // namespace

int recvThread(CastContext *cast) {
    int recvMsgCount = 1;
    MessageHeader header;
    std::vector<uint8_t> body;
    while (cast->m_running.load() == 1) {
        int result = recvMessage(cast, &header, &body);
        if (result < 0) {
            logLine("socket is error recvMsgCount = %d\n", recvMsgCount);
            if (recvMsgCount >= kFailedReadLimit) {
                endCastFromReceiver(cast, PIXPIPE_LINK_LOST);
                logLine("recv thread is exit\n");
                return 1;
            }
            // The pause ends early at a stop so that the stop is not delayed.
            sleepWhileRunning(cast->m_running, kFailedReadPauseMs);
            ++recvMsgCount;
            continue;
        }
        recvMsgCount = 1;
        body.clear();
        if (header.type == MSG_QUIT) {
            endCastFromReceiver(cast, PIXPIPE_RECEIVER_QUIT);
            logLine("recv thread is exit\n");
            return 1;
        }
    }
    logLine("recv thread is exit\n");
    cast->m_flagrecv.store(1);
    return 1;
}

} // namespace pixpipe
