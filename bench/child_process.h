// A child process whose standard output the parent reads line by line.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace bench {

class ChildProcess {
public:
    explicit ChildProcess(const std::vector<std::string> &arguments);
    ~ChildProcess();
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    bool started() const { return m_pid > 0 && m_output; }
    // The next line of the child's output; empty at its end.
    std::string readLine();
    // True once the child has ended within the timeout.
    bool waitForExit(std::chrono::milliseconds timeout);

private:
    pid_t m_pid = -1;
    FILE *m_output = nullptr;
};

} // namespace bench
