#include "childprocess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

extern char **environ;

namespace test_support {

ChildProcess::ChildProcess(const std::vector<std::string> &arguments, bool captureOutput) {
    int fds[2] = {-1, -1};
    if (captureOutput && pipe(fds) != 0)
        return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (captureOutput) {
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    }
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char *> argv;
    for (const std::string &argument : arguments)
        argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);
    if (posix_spawnp(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    if (captureOutput) {
        close(fds[1]);
        m_output = fdopen(fds[0], "r");
    }
}

ChildProcess::~ChildProcess() {
    if (m_pid > 0)
        terminate();
    if (m_output)
        fclose(m_output);
}

std::string ChildProcess::readLine() {
    std::string line;
    if (!m_output)
        return line;
    for (int c = fgetc(m_output); c != EOF; c = fgetc(m_output)) {
        line += static_cast<char>(c);
        if (c == '\n')
            break;
    }
    return line;
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
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
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
