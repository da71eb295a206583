#include "childprocess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

extern char **environ;

namespace test_support {

namespace {
// Puts fd of the child on a new pipe (parent's end in *parentEnd) or on
// /dev/null.
bool redirect(posix_spawn_file_actions_t &actions, int fd, bool toPipe, int *parentEnd,
              int *childEnd) {
    if (!toPipe) {
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", O_WRONLY, 0);
        return true;
    }
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return false;
    posix_spawn_file_actions_adddup2(&actions, fds[1], fd);
    *parentEnd = fds[0];
    *childEnd = fds[1];
    return true;
}
} // namespace

ChildProcess::ChildProcess(const std::vector<std::string> &arguments, bool pipeOutput,
                           bool pipeErrors) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    int childOutput = -1;
    int childErrors = -1;
    if (redirect(actions, STDOUT_FILENO, pipeOutput, &m_output, &childOutput) &&
        redirect(actions, STDERR_FILENO, pipeErrors, &m_errors, &childErrors)) {
        std::vector<char *> argv;
        for (const std::string &argument : arguments)
            argv.push_back(const_cast<char *>(argument.c_str()));
        argv.push_back(nullptr);
        if (posix_spawnp(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    for (int fd : {childOutput, childErrors}) {
        if (fd >= 0)
            close(fd);
    }
}

ChildProcess::~ChildProcess() {
    if (m_pid > 0)
        terminate();
    for (int fd : {m_output, m_errors}) {
        if (fd >= 0)
            close(fd);
    }
}

bool ChildProcess::readSome(Stream stream, std::string &into, std::chrono::milliseconds timeout) {
    const int fd = descriptor(stream);
    if (fd < 0)
        return false;
    pollfd waited{fd, POLLIN, 0};
    if (poll(&waited, 1, static_cast<int>(timeout.count())) <= 0)
        return false;
    char buffer[4096];
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got <= 0)
        return false;
    into.append(buffer, static_cast<size_t>(got));
    return true;
}

std::string ChildProcess::readToEnd(Stream stream) {
    std::string text;
    while (readSome(stream, text, std::chrono::hours(1)))
        continue;
    return text;
}

std::string ChildProcess::readLine(std::chrono::milliseconds timeout) {
    std::string line;
    pollfd waited{m_output, POLLIN, 0};
    char c = 0;
    while (m_output >= 0 && c != '\n' && poll(&waited, 1, static_cast<int>(timeout.count())) > 0 &&
           read(m_output, &c, 1) == 1)
        line.push_back(c);
    return line;
}

void ChildProcess::signal(int number) {
    if (m_pid > 0)
        kill(m_pid, number);
}

bool ChildProcess::waitForExit(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (m_pid > 0) {
        if (wait4(m_pid, &m_status, WNOHANG, &m_usage) == m_pid) {
            m_pid = -1;
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

int ChildProcess::exitCode() const {
    if (m_pid > 0 || m_status < 0)
        return -1;
    return WIFEXITED(m_status) ? WEXITSTATUS(m_status) : 128 + WTERMSIG(m_status);
}

void ChildProcess::terminate() {
    if (m_pid <= 0)
        return;
    kill(m_pid, SIGTERM);
    if (!waitForExit(std::chrono::seconds(5))) {
        kill(m_pid, SIGKILL);
        wait4(m_pid, &m_status, 0, &m_usage);
        m_pid = -1;
    }
}

} // namespace test_support
