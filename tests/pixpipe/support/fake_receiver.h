// An in-process stand-in for the television receiver: listens on a free
// loopback control port P and on P + 1 for audio, records every accepted
// connection's raw bytes and the messages framed in them, and lets a test
// send messages, close links and refuse connections.
#pragma once

#include "link/message_framing.h"
#include "platform/socket.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace pixpipe::testing {

enum class Link { Control, Audio };

struct ReceiverOptions {
    const char *bindAddress = "127.0.0.1"; // any 127.x.y.z address is loopback
    bool listenAudio = true; // false: the audio port is reserved but refuses connections
    bool closeOnStop = true; // close the control connection when MSG_STOP arrives
    // > 0: close each connection once this many bytes have arrived on it.
    size_t closeAfterBytes = 0;
    int receiveBufferBytes = 0; // > 0: SO_RCVBUF of the accepted connections
    // > 0: stop reading the first control connection after this many bytes,
    // until resume() or resetNewest().
    size_t pauseAfterBytes = 0;
    bool answerStopWithQuit = false; // answer MSG_STOP with MSG_QUIT instead of closing
    // A receiver that no longer accepts: both ports listen with a full accept
    // queue, so connects to them neither succeed nor fail.
    bool acceptNothing = false;
    bool audioAcceptsNothing = false; // the same for the audio port only
    int readPauseMs = 0; // > 0: pause this long after each read (a slow link); see setReadPause
};

struct ConnectionRecord {
    Link link = Link::Control;
    int index = 0; // order of acceptance on its link
    std::vector<uint8_t> bytes;
    std::vector<MessageAssembler::Message> messages;
    bool closed = false;   // the peer closed it or the receiver dropped it
    bool cutShort = false; // ended inside a message
};

class FakeReceiver {
public:
    explicit FakeReceiver(ReceiverOptions options = {});
    ~FakeReceiver();
    FakeReceiver(const FakeReceiver &) = delete;
    FakeReceiver &operator=(const FakeReceiver &) = delete;

    uint16_t controlPort() const { return m_port; }
    uint16_t audioPort() const { return static_cast<uint16_t>(m_port + 1); }

    // Snapshot of the connections accepted so far on a link.
    std::vector<ConnectionRecord> connections(Link link);
    // Every message received on a link, over all its connections, in order.
    std::vector<MessageAssembler::Message> messages(Link link);
    // Acceptance order of both links: "control", "audio", ...
    std::vector<Link> acceptOrder();

    // Waits until pred holds for the snapshot of both links (or times out).
    bool waitUntil(const std::function<bool(FakeReceiver &)> &pred,
                   std::chrono::milliseconds timeout = std::chrono::seconds(5));
    bool waitForMessages(Link link, size_t count,
                         std::chrono::milliseconds timeout = std::chrono::seconds(5));

    // Writes raw bytes on the newest connection of a link; false if none.
    bool sendRaw(Link link, const std::vector<uint8_t> &bytes);
    bool sendMessage(Link link, int32_t type, const std::vector<uint8_t> &body, int32_t stamp = 0);
    // Closes the newest connection of a link.
    void closeNewest(Link link);
    // Closes the newest connection of a link at once; unread data makes the
    // peer's next send fail (connection reset) when reading is paused;
    // otherwise the same as closeNewest.
    void resetNewest(Link link);
    // Stops accepting on a link: later connects are refused.
    void refuse(Link link);
    // Waits until the first control connection has paused (pauseAfterBytes).
    bool waitPaused(std::chrono::milliseconds timeout = std::chrono::seconds(5));
    void resume();
    // Changes the pause after each read (readPauseMs) from now on.
    void setReadPause(int milliseconds) { m_readPauseMs = milliseconds; }

private:
    struct Connection;
    void fillAcceptQueue(SocketHandle listener);
    void acceptLoop(Link link, SocketHandle listener);
    void readLoop(const std::shared_ptr<Connection> &connection);
    SocketHandle &listenerFor(Link link) {
        return link == Link::Control ? m_controlListener : m_audioListener;
    }

    ReceiverOptions m_options;
    uint16_t m_port = 0;
    SocketHandle m_controlListener = kNoSocket;
    SocketHandle m_audioListener = kNoSocket;
    bool m_stopping = false;
    bool m_paused = false;
    std::atomic<int> m_readPauseMs{0};
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::shared_ptr<Connection>> m_connections;
    std::vector<Link> m_acceptOrder;
    std::vector<std::thread> m_threads;
    std::vector<SocketHandle> m_queueFillers; // the connections that fill the accept queues
};

// Message helpers for building expectations.
std::vector<uint8_t> headerBytes(int32_t type, int32_t length, int32_t stamp);

} // namespace pixpipe::testing
