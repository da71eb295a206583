#include "fake_receiver.h"

#include "test_sockets.h"

#include <algorithm>
#include <stdexcept>

namespace pixpipe::testing {

namespace {

constexpr int32_t kLargestRecordedBody = 64 * 1024 * 1024;

bool anyKnownHeader(const MessageHeader &header) {
    return header.type >= 1 && header.type <= 9 && header.length >= 0 &&
           header.length <= kLargestRecordedBody;
}

} // namespace

struct FakeReceiver::Connection {
    explicit Connection(SocketHandle socket) : fd(socket), assembler(anyKnownHeader) {}
    SocketHandle fd;
    MessageAssembler assembler;
    ConnectionRecord record;
};

std::vector<uint8_t> headerBytes(int32_t type, int32_t length, int32_t stamp) {
    MessageHeader header;
    header.type = type;
    header.length = length;
    header.stamp = stamp;
    std::vector<uint8_t> bytes(kHeaderSize);
    encodeHeader(header, bytes.data());
    return bytes;
}

FakeReceiver::FakeReceiver(ReceiverOptions options)
    : m_options(options), m_readPauseMs(options.readPauseMs) {
    // The audio port must be the control port + 1: retry until both are free.
    for (int attempt = 0; attempt < 100 && m_audioListener == kNoSocket; ++attempt) {
        SocketHandle control = bindTcp(options.bindAddress, 0, options.receiveBufferBytes);
        if (control == kNoSocket)
            continue;
        uint16_t port = boundPort(control);
        SocketHandle audio =
            port < 65535 ? bindTcp(options.bindAddress, port + 1, options.receiveBufferBytes)
                         : kNoSocket;
        if (audio == kNoSocket) {
            closeSocket(control);
            continue;
        }
        m_port = port;
        m_controlListener = control;
        m_audioListener = audio;
    }
    if (m_audioListener == kNoSocket)
        throw std::runtime_error("FakeReceiver: no free pair of loopback ports");
    if (options.acceptNothing) {
        fillAcceptQueue(m_controlListener);
        fillAcceptQueue(m_audioListener);
        return;
    }
    startListening(m_controlListener);
    m_threads.emplace_back(&FakeReceiver::acceptLoop, this, Link::Control, m_controlListener);
    // A bound socket that does not listen refuses connections and keeps the
    // port from being taken by anyone else.
    if (options.audioAcceptsNothing) {
        fillAcceptQueue(m_audioListener);
    } else if (options.listenAudio) {
        startListening(m_audioListener);
        m_threads.emplace_back(&FakeReceiver::acceptLoop, this, Link::Audio, m_audioListener);
    }
}

FakeReceiver::~FakeReceiver() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
        for (auto &connection : m_connections)
            if (connection->fd != kNoSocket)
                shutdownSocket(connection->fd);
        m_paused = false;
        m_changed.notify_all();
    }
    stopListening(m_controlListener);
    stopListening(m_audioListener);
    // Reader threads are added while accepting; join until none is left.
    for (;;) {
        std::vector<std::thread> threads;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            threads.swap(m_threads);
        }
        if (threads.empty())
            break;
        for (auto &thread : threads)
            thread.join();
    }
    for (auto &connection : m_connections)
        if (connection->fd != kNoSocket)
            closeSocket(connection->fd);
    for (SocketHandle filler : m_queueFillers)
        closeSocket(filler);
    closeSocket(m_controlListener);
    closeSocket(m_audioListener);
}

// A listener with backlog 0 holds one connection that nobody accepts; the
// system then drops every further connection request unanswered.
void FakeReceiver::fillAcceptQueue(SocketHandle listener) {
    startListening(listener, 0);
    SocketHandle filler = createTcpSocket();
    if (filler == kNoSocket || !connectWithin5s(filler, m_options.bindAddress, boundPort(listener)))
        throw std::runtime_error("FakeReceiver: could not fill the accept queue");
    m_queueFillers.push_back(filler);
}

void FakeReceiver::acceptLoop(Link link, SocketHandle listener) {
    for (;;) {
        SocketHandle fd = acceptConnection(listener);
        std::lock_guard<std::mutex> lock(m_mutex);
        if (fd == kNoSocket || m_stopping) {
            if (fd != kNoSocket)
                closeSocket(fd);
            return;
        }
        auto connection = std::make_shared<Connection>(fd);
        connection->record.link = link;
        connection->record.index = static_cast<int>(
            std::count_if(m_connections.begin(), m_connections.end(),
                          [link](const auto &c) { return c->record.link == link; }));
        m_connections.push_back(connection);
        m_acceptOrder.push_back(link);
        m_threads.emplace_back(&FakeReceiver::readLoop, this, connection);
        m_changed.notify_all();
    }
}

void FakeReceiver::readLoop(const std::shared_ptr<Connection> &connection) {
    std::vector<uint8_t> buffer(64 * 1024);
    bool pausing = m_options.pauseAfterBytes > 0 && connection->record.link == Link::Control &&
                   connection->record.index == 0;
    for (;;) {
        size_t wanted = buffer.size();
        SocketHandle fd;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            size_t have = connection->record.bytes.size();
            if (m_options.closeAfterBytes > 0)
                wanted = std::min(wanted, m_options.closeAfterBytes - have);
            if (pausing) {
                if (have >= m_options.pauseAfterBytes) {
                    // Paused once; reading goes on after resume() or ends
                    // after resetNewest().
                    pausing = false;
                    m_paused = true;
                    m_changed.notify_all();
                    m_changed.wait(lock, [&] { return !m_paused || connection->fd == kNoSocket; });
                    if (connection->fd == kNoSocket)
                        return;
                } else {
                    wanted = std::min(wanted, m_options.pauseAfterBytes - have);
                }
            }
            fd = connection->fd;
        }
        int received = receiveSome(fd, buffer.data(), wanted);
        if (m_readPauseMs.load() > 0 && received > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(m_readPauseMs.load()));
        std::lock_guard<std::mutex> lock(m_mutex);
        ConnectionRecord &record = connection->record;
        bool drop = received <= 0;
        if (received > 0) {
            record.bytes.insert(record.bytes.end(), buffer.begin(), buffer.begin() + received);
            std::vector<MessageAssembler::Message> complete;
            connection->assembler.feed(buffer.data(), static_cast<size_t>(received), complete);
            for (auto &message : complete) {
                bool stop = message.header.type == MSG_STOP && record.link == Link::Control;
                record.messages.push_back(std::move(message));
                if (stop && m_options.answerStopWithQuit) {
                    std::vector<uint8_t> quit = headerBytes(MSG_QUIT, 1, 0);
                    quit.push_back(0);
                    sendSome(connection->fd, quit.data(), quit.size());
                } else if (stop && m_options.closeOnStop) {
                    drop = true;
                }
            }
            if (m_options.closeAfterBytes > 0 && record.bytes.size() >= m_options.closeAfterBytes)
                drop = true;
        }
        if (drop) {
            record.closed = true;
            record.cutShort = connection->assembler.inMessage();
            closeSocket(connection->fd);
            connection->fd = kNoSocket;
            m_changed.notify_all();
            return;
        }
        m_changed.notify_all();
    }
}

std::vector<ConnectionRecord> FakeReceiver::connections(Link link) {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<ConnectionRecord> records;
    for (auto &connection : m_connections)
        if (connection->record.link == link)
            records.push_back(connection->record);
    return records;
}

std::vector<MessageAssembler::Message> FakeReceiver::messages(Link link) {
    std::vector<MessageAssembler::Message> all;
    for (auto &record : connections(link))
        all.insert(all.end(), record.messages.begin(), record.messages.end());
    return all;
}

std::vector<Link> FakeReceiver::acceptOrder() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_acceptOrder;
}

bool FakeReceiver::waitUntil(const std::function<bool(FakeReceiver &)> &pred,
                             std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (pred(*this))
            return true;
        std::unique_lock<std::mutex> lock(m_mutex);
        if (m_changed.wait_until(lock, std::min(deadline, std::chrono::steady_clock::now() +
                                                              std::chrono::milliseconds(20))) ==
                std::cv_status::timeout &&
            std::chrono::steady_clock::now() >= deadline) {
            lock.unlock();
            return pred(*this);
        }
    }
}

bool FakeReceiver::waitForMessages(Link link, size_t count, std::chrono::milliseconds timeout) {
    return waitUntil([link, count](FakeReceiver &r) { return r.messages(link).size() >= count; },
                     timeout);
}

bool FakeReceiver::sendRaw(Link link, const std::vector<uint8_t> &bytes) {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto it = m_connections.rbegin(); it != m_connections.rend(); ++it) {
        if ((*it)->record.link != link || (*it)->fd == kNoSocket)
            continue;
        return sendSome((*it)->fd, bytes.data(), bytes.size()) == static_cast<int>(bytes.size());
    }
    return false;
}

bool FakeReceiver::sendMessage(Link link, int32_t type, const std::vector<uint8_t> &body,
                               int32_t stamp) {
    std::vector<uint8_t> bytes = headerBytes(type, static_cast<int32_t>(body.size()), stamp);
    bytes.insert(bytes.end(), body.begin(), body.end());
    return sendRaw(link, bytes);
}

void FakeReceiver::closeNewest(Link link) {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto it = m_connections.rbegin(); it != m_connections.rend(); ++it) {
        if ((*it)->record.link == link && (*it)->fd != kNoSocket) {
            // The reader sees the end of stream and closes the descriptor.
            shutdownSocket((*it)->fd);
            return;
        }
    }
}

void FakeReceiver::resetNewest(Link link) {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto it = m_connections.rbegin(); it != m_connections.rend(); ++it) {
        Connection &connection = **it;
        if (connection.record.link != link || connection.fd == kNoSocket)
            continue;
        if (!m_paused) {
            // The reader is inside recv: let it see the end and close.
            shutdownSocket(connection.fd);
            return;
        }
        // Closing with unread data sends a reset. The reader is paused (not
        // inside recv), so the descriptor can be closed here.
        closeSocket(connection.fd);
        connection.fd = kNoSocket;
        connection.record.closed = true;
        connection.record.cutShort = connection.assembler.inMessage();
        m_paused = false;
        m_changed.notify_all();
        return;
    }
}

void FakeReceiver::refuse(Link link) {
    stopListening(listenerFor(link));
}

bool FakeReceiver::waitPaused(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [this] { return m_paused; });
}

void FakeReceiver::resume() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_paused = false;
    m_changed.notify_all();
}

} // namespace pixpipe::testing
