#include "receiver_process.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <regex>

using test_support::ChildProcess;

ReceiverProcess::ReceiverProcess(const std::vector<std::string> &arguments)
    : m_child(arguments, true, true) {}

ReceiverProcess::~ReceiverProcess() {
    m_child.signal(SIGKILL);
}

bool ReceiverProcess::waitReady() {
    std::regex ready("cast-receiver listening control=(\\d+) audio=(\\d+)\n");
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (m_child.started() && std::chrono::steady_clock::now() < deadline) {
        std::smatch match;
        if (std::regex_search(m_output, match, ready)) {
            m_controlPort = static_cast<uint16_t>(std::stoi(match[1]));
            m_audioPort = static_cast<uint16_t>(std::stoi(match[2]));
            return true;
        }
        if (!m_child.readSome(ChildProcess::Stream::Output, m_output, std::chrono::seconds(5)))
            return false; // output closed: the child ended
    }
    return false;
}

void ReceiverProcess::signal(int number) {
    m_child.signal(number);
}

int ReceiverProcess::waitForExit(std::chrono::milliseconds timeout) {
    if (!m_child.started() || !m_child.waitForExit(timeout))
        return -1;
    return m_child.exitCode();
}

std::string ReceiverProcess::output() {
    while (m_child.readSome(ChildProcess::Stream::Output, m_output, std::chrono::milliseconds(0)))
        continue;
    return m_output;
}

std::string ReceiverProcess::errors() {
    while (m_child.readSome(ChildProcess::Stream::Errors, m_errors, std::chrono::milliseconds(0)))
        continue;
    return m_errors;
}

int connectLoopback(uint16_t port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool sendAll(int fd, const std::vector<uint8_t> &bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}
