#include "cast_receiver.h"

#include "listen_socket.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

namespace receiver {

using pixpipe::MessageAssembler;
using pixpipe::MessageHeader;

namespace {

// Bodies larger than this are taken for a broken stream.
constexpr int32_t kLargestBody = 64 * 1024 * 1024;
// After the stop command or the quit message, how long the links may stay
// open before the receiver ends anyway.
constexpr int64_t kEndingGraceMs = 3000;

int64_t wallClockMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

bool plausibleHeader(const MessageHeader &header) {
    return header.type >= 1 && header.type <= 9 && header.length >= 0 &&
           header.length <= kLargestBody;
}

// What the statistics keep of a video or audio message.
MediaArrival arrivalOf(const MessageAssembler::Message &message, int64_t now) {
    return {static_cast<uint32_t>(message.body.size()), static_cast<uint32_t>(message.header.stamp),
            now};
}

} // namespace

CastReceiver::Connection::Connection(LinkKind kind) : link(kind), assembler(plausibleHeader) {}

CastReceiver::CastReceiver(const ReceiverOptions &options) : m_options(options) {}

CastReceiver::~CastReceiver() {
    closeConnection(m_control);
    closeConnection(m_audio);
    if (m_controlListener >= 0)
        close(m_controlListener);
    if (m_audioListener >= 0)
        close(m_audioListener);
}

bool CastReceiver::listen(std::string &error) {
    const std::string &address = m_options.bindAddress;
    if (m_options.port != 0) {
        m_controlListener = bindListener(address, m_options.port);
        if (m_controlListener < 0) {
            error = "cannot listen on " + address + ":" + std::to_string(m_options.port) + ": " +
                    std::strerror(errno);
            return false;
        }
        m_port = m_options.port;
        m_audioListener = bindListener(address, static_cast<uint16_t>(m_port + 1));
        if (m_audioListener < 0) {
            error = "cannot listen on " + address + ":" + std::to_string(m_port + 1) +
                    " (audio): " + std::strerror(errno);
            return false;
        }
    } else {
        // A free control port whose neighbour is free too.
        for (int attempt = 0; attempt < 100 && m_audioListener < 0; ++attempt) {
            int control = bindListener(address, 0);
            if (control < 0) {
                error = "cannot listen on " + address + ": " + std::strerror(errno);
                return false;
            }
            uint16_t port = boundPort(control);
            int audio = port < 65535 ? bindListener(address, static_cast<uint16_t>(port + 1)) : -1;
            if (audio < 0) {
                close(control);
                continue;
            }
            m_controlListener = control;
            m_audioListener = audio;
            m_port = port;
        }
        if (m_audioListener < 0) {
            error = "no free pair of ports on " + address;
            return false;
        }
    }
    if (::listen(m_controlListener, 8) != 0) {
        error = std::string("cannot listen on the control port: ") + std::strerror(errno);
        return false;
    }
    // A refused audio port stays bound (nobody else takes it) but does not
    // listen, so connects to it are refused.
    if (!m_options.refuseAudio && ::listen(m_audioListener, 8) != 0) {
        error = std::string("cannot listen on the audio port: ") + std::strerror(errno);
        return false;
    }
    return true;
}

bool CastReceiver::openOutputs(std::string &error) {
    if (!m_options.record)
        return true;
    std::error_code code;
    std::filesystem::create_directories(m_options.outputDir, code);
    if (code) {
        error = "cannot create output folder " + m_options.outputDir + ": " + code.message();
        return false;
    }
    return m_videoFile.open(m_options.outputDir + "/video.h264", error) &&
           m_audioWriter.open(m_options.outputDir + "/audio.aac", m_options.audioSampleRate, error);
}

bool CastReceiver::writeStats(std::string &error) {
    if (!m_options.record)
        return true;
    std::string text =
        m_stats.toJson().dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) +
        "\n";
    return writeFileAtomically(m_options.outputDir + "/stats.json", text, error);
}

void CastReceiver::accept(Connection &connection, int listener) {
    int fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0)
        return;
    if (connection.fd >= 0) {
        std::printf("%s link replaced by a new connection\n", linkName(connection.link));
        closeConnection(connection);
    }
    connection.fd = fd;
    connection.messages = 0;
    connection.framingErrorCounted = false;
    connection.assembler = MessageAssembler(plausibleHeader);
    m_stats.connectionAccepted(connection.link);
    std::printf("%s link connected\n", linkName(connection.link));
    std::fflush(stdout);
}

void CastReceiver::closeConnection(Connection &connection) {
    if (connection.fd < 0)
        return;
    const MessageAssembler &assembler = connection.assembler;
    if (assembler.inMessage()) {
        CutShortMessage cut{connection.link, 0, 0, assembler.pendingBytes()};
        if (assembler.pendingBody()) {
            cut.type = assembler.pendingHeader().type;
            cut.length = assembler.pendingHeader().length;
        }
        m_stats.cutShort(cut);
        std::printf("%s link: message cut short after %llu bytes\n", linkName(connection.link),
                    static_cast<unsigned long long>(cut.received));
    }
    close(connection.fd);
    connection.fd = -1;
    std::printf("%s link closed\n", linkName(connection.link));
    std::fflush(stdout);
    if (m_control.fd < 0 && m_audio.fd < 0)
        tellCastStopped();
}

void CastReceiver::tellCastStopped() {
    if (m_listener && m_listenerInCast)
        m_listener->castStopped();
    m_listenerInCast = false;
}

void CastReceiver::handleMessage(Connection &connection, const MessageAssembler::Message &message) {
    const MessageHeader &header = message.header;
    int64_t now = wallClockMs();
    switch (header.type) {
    case pixpipe::MSG_START: {
        std::string code(message.body.begin(), message.body.end());
        m_stats.startCommand(code);
        std::printf("start command, code %s\n", code.c_str());
        if (m_options.quitAfterSeconds >= 0)
            m_quitAtMs = now + static_cast<int64_t>(m_options.quitAfterSeconds * 1000.0);
        if (m_listener) {
            m_listenerInCast = true;
            m_listener->castStarted(code);
        }
        break;
    }
    case pixpipe::MSG_STOP:
        m_stats.stopCommand();
        std::printf("stop command\n");
        if (m_endingSinceMs < 0)
            m_endingSinceMs = now;
        tellCastStopped();
        if (connection.link == LinkKind::Control && !m_options.silentAfterStop)
            closeConnection(connection);
        break;
    case pixpipe::MSG_VIDEO:
        m_stats.video(arrivalOf(message, now));
        m_videoFile.append(message.body.data(), message.body.size());
        if (m_listener)
            m_listener->videoPacket(message.body.data(), message.body.size());
        break;
    case pixpipe::MSG_AUDIO:
        m_stats.audio(arrivalOf(message, now));
        m_audioWriter.write(message.body.data(), message.body.size());
        if (m_listener)
            m_listener->audioPacket(message.body.data(), message.body.size());
        break;
    default:
        m_stats.otherMessage();
        break;
    }
    std::fflush(stdout);
}

void CastReceiver::readFrom(Connection &connection) {
    uint8_t buffer[64 * 1024];
    ssize_t received = recv(connection.fd, buffer, sizeof buffer, 0);
    if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return;
    if (received <= 0) {
        closeConnection(connection);
        return;
    }
    std::vector<MessageAssembler::Message> messages;
    uint64_t ignoredBefore = connection.assembler.ignoredBytes();
    bool framed = connection.assembler.feed(buffer, static_cast<size_t>(received), messages);
    m_stats.unparsedBytes(connection.assembler.ignoredBytes() - ignoredBefore);
    for (const auto &message : messages) {
        if (connection.fd < 0)
            break;
        handleMessage(connection, message);
        ++connection.messages;
        long dropAfter = connection.link == LinkKind::Control ? m_options.dropControlAfter
                                                              : m_options.dropAudioAfter;
        bool &dropped = connection.link == LinkKind::Control ? m_controlDropped : m_audioDropped;
        if (dropAfter > 0 && !dropped && connection.messages >= dropAfter && connection.fd >= 0) {
            dropped = true;
            std::printf("dropping the %s link after %ld messages\n", linkName(connection.link),
                        connection.messages);
            closeConnection(connection);
        }
    }
    if (!framed && !connection.framingErrorCounted) {
        connection.framingErrorCounted = true;
        m_stats.framingError();
        std::printf("%s link: framing error, the rest of this connection is not parsed\n",
                    linkName(connection.link));
        std::fflush(stdout);
    }
}

void CastReceiver::sendQuit() {
    m_quitAtMs = -1;
    if (m_control.fd < 0)
        return;
    std::vector<uint8_t> message(pixpipe::kHeaderSize + 1, 0);
    MessageHeader header;
    header.type = pixpipe::MSG_QUIT;
    header.length = 1;
    pixpipe::encodeHeader(header, message.data());
    if (send(m_control.fd, message.data(), message.size(), MSG_NOSIGNAL) ==
        static_cast<ssize_t>(message.size())) {
        m_stats.quitSent();
        std::printf("quit message sent\n");
    } else {
        std::printf("quit message could not be sent: %s\n", std::strerror(errno));
    }
    std::fflush(stdout);
    if (m_endingSinceMs < 0)
        m_endingSinceMs = wallClockMs();
}

void CastReceiver::castEnded() {
    std::string error;
    if (!writeStats(error))
        std::fprintf(stderr, "cast-receiver: %s\n", error.c_str());
    std::printf("cast ended\n");
    std::fflush(stdout);
    m_endingSinceMs = -1;
}

bool CastReceiver::run(int wakeFd) {
    for (;;) {
        std::vector<pollfd> fds;
        fds.push_back({wakeFd, POLLIN, 0});
        fds.push_back({m_controlListener, POLLIN, 0});
        if (!m_options.refuseAudio)
            fds.push_back({m_audioListener, POLLIN, 0});
        size_t firstConnection = fds.size();
        if (m_control.fd >= 0)
            fds.push_back({m_control.fd, POLLIN, 0});
        if (m_audio.fd >= 0)
            fds.push_back({m_audio.fd, POLLIN, 0});

        int timeoutMs = 100;
        if (poll(fds.data(), fds.size(), timeoutMs) < 0 && errno != EINTR) {
            std::fprintf(stderr, "cast-receiver: poll failed: %s\n", std::strerror(errno));
            return false;
        }
        if (fds[0].revents & POLLIN)
            return true;
        if (fds[1].revents & POLLIN)
            accept(m_control, m_controlListener);
        if (!m_options.refuseAudio && (fds[2].revents & POLLIN))
            accept(m_audio, m_audioListener);
        for (size_t i = firstConnection; i < fds.size(); ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            if (fds[i].fd == m_control.fd)
                readFrom(m_control);
            else if (fds[i].fd == m_audio.fd)
                readFrom(m_audio);
        }

        int64_t now = wallClockMs();
        if (m_quitAtMs >= 0 && now >= m_quitAtMs)
            sendQuit();
        if (m_endingSinceMs >= 0) {
            bool linksClosed = m_control.fd < 0 && m_audio.fd < 0;
            if (linksClosed || now - m_endingSinceMs >= kEndingGraceMs) {
                castEnded();
                if (!m_options.keepRunning)
                    return false;
            }
        }
    }
}

} // namespace receiver
