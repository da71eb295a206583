#include "receiver_process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <regex>
#include <thread>

extern char **environ;

ReceiverProcess::ReceiverProcess(const std::vector<std::string> &arguments) {
    int out[2];
    int err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
        return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    std::vector<char *> argv;
    for (const std::string &argument : arguments)
        argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);
    if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    m_stdout = out[0];
    m_stderr = err[0];
}

ReceiverProcess::~ReceiverProcess() {
    if (m_pid > 0) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
    if (m_stdout >= 0)
        close(m_stdout);
    if (m_stderr >= 0)
        close(m_stderr);
}

void ReceiverProcess::drain(int fd, std::string &into, bool block) {
    char buffer[4096];
    for (;;) {
        pollfd descriptor{fd, POLLIN, 0};
        if (poll(&descriptor, 1, block ? 5000 : 0) <= 0)
            return;
        ssize_t got = read(fd, buffer, sizeof buffer);
        if (got <= 0)
            return;
        into.append(buffer, static_cast<size_t>(got));
        if (block)
            return;
    }
}

bool ReceiverProcess::waitReady() {
    std::regex ready("cast-receiver listening control=(\\d+) audio=(\\d+)\n");
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (m_pid > 0 && std::chrono::steady_clock::now() < deadline) {
        std::smatch match;
        if (std::regex_search(m_output, match, ready)) {
            m_controlPort = static_cast<uint16_t>(std::stoi(match[1]));
            m_audioPort = static_cast<uint16_t>(std::stoi(match[2]));
            return true;
        }
        size_t before = m_output.size();
        drain(m_stdout, m_output, true);
        if (m_output.size() == before)
            return false; // output closed: the child ended
    }
    return false;
}

void ReceiverProcess::signal(int number) {
    if (m_pid > 0)
        kill(m_pid, number);
}

int ReceiverProcess::waitForExit(std::chrono::milliseconds timeout) {
    if (m_pid <= 0)
        return -1;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        pid_t done = waitpid(m_pid, &status, WNOHANG);
        if (done == m_pid) {
            m_pid = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::string ReceiverProcess::output() {
    drain(m_stdout, m_output, false);
    return m_output;
}

std::string ReceiverProcess::errors() {
    drain(m_stderr, m_errors, false);
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
