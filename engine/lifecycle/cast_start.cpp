#include "lifecycle/cast_control.h"
#include "lifecycle/cast_lifecycle.h"
#include "lifecycle/engine_log.h"
#include "lifecycle/worker_threads.h"
#include "link/message_framing.h"
#include "link/receiver_link.h"
#include "platform/clock.h"
#include "platform/screen_size.h"
#include "queue/media_queues.h"

extern "C" {
#include <libavdevice/avdevice.h>
}

#include <cstring>
#include <memory>
#include <new>
#include <string>

namespace pixpipe {

namespace {

constexpr int32_t kDefaultWidth = 1920;
constexpr int32_t kDefaultHeight = 1080;

void attachQueues(CastContext *cast) {
    videoPacketQueue.attachReadyEvent(&cast->m_videoPacketEvent);
    videoFrameQueue.attachReadyEvent(&cast->m_videoFrameEvent);
    audioPacketQueue.attachReadyEvent(&cast->m_audioPacketEvent);
    audioFrameQueue.attachReadyEvent(&cast->m_audioFrameEvent);
}

// The start failure path. The start's own -1 goes to the host as the result
// of startCapture; a callback registered later hears nothing of this cast.
int failStart(CastContext *cast, bool startSent) {
    logLine("star cast failed\n");
    endCastOnFailure(cast, PIXPIPE_LINK_LOST, startSent);
    discardPendingCodes(cast);
    return -1;
}

// No thread exists to set these.
void markAllWorkersDone(CastContext *cast) {
    for (const WorkerThread &worker : kWorkerThreads)
        (cast->*worker.doneFlag).store(1);
}

// Sends MSG_START on the control link; false when the send failed.
bool sendStartCommand(CastContext *cast, const char *castNum) {
    size_t codeLength = std::strlen(castNum);
    std::vector<uint8_t> command;
    std::string commandText;
    try {
        command = buildStartCommand(castNum, codeLength);
        // The buffer read as text, as the log shows it: up to its first zero byte.
        commandText.assign(command.begin(), command.end());
    } catch (const std::bad_alloc &) {
        logLine("send start cmd failed: out of memory\n");
        return false;
    }
    logLine("send startcmd castNum = %s, sendbuf = %s, datalen = %d\n", castNum,
            commandText.c_str(), static_cast<int>(codeLength));
    int sent = sendSome(cast->m_nsock.load(), command.data(), command.size());
    logLine("send startcmd ret = %d, time = %d\n", sent, static_cast<int>(tickCountMs()));
    // A command cut short would leave the receiver inside a message.
    if (sent != static_cast<int>(command.size())) {
        logLine("send start cmd failed, error=%d\n", lastSocketError());
        return false;
    }
    return true;
}

} // namespace

CastContext *createCast() {
    std::shared_ptr<CastContext> owner;
    try {
        owner = std::make_shared<CastContext>();
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
    CastContext *cast = owner.get();
    cast->m_owner = std::move(owner);
    videoFrameQueue.reset();
    videoPacketQueue.reset();
    audioFrameQueue.reset();
    audioPacketQueue.reset();
    attachQueues(cast);
    return cast;
}

int startCast(CastContext *cast, const char *host, int port, const char *castNum, int width,
              int height) {
    std::memset(cast->m_ip, 0, sizeof cast->m_ip);
    std::strncpy(cast->m_ip, host, sizeof cast->m_ip - 1);
    cast->m_port = static_cast<uint16_t>(port & 0xFFFF);

    startSocketLibrary();
    openBothLinks(cast);

    avdevice_register_all();

    ScreenSize screen = readPrimaryScreenSize();
    cast->m_screenWidth = screen.width;
    cast->m_screenHeight = screen.height;
    cast->m_width = width != 0 ? width : kDefaultWidth;
    cast->m_height = height != 0 ? height : kDefaultHeight;

    if (cast->m_startCancelled.load()) {
        logLine("start cancelled by a stop\n");
        markAllWorkersDone(cast);
        return failStart(cast, false);
    }
    if (cast->m_nsock.load() == kNoSocket || !sendStartCommand(cast, castNum)) {
        markAllWorkersDone(cast);
        return failStart(cast, false);
    }
    // The workers that did start end through the failure path and release
    // waits for them; startWorkerThreads marked the others.
    if (!startWorkerThreads(cast))
        return failStart(cast, true);
    return 1;
}

} // namespace pixpipe
