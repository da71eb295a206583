// A helper program run by a test or a benchmark (cast-receiver, ffmpeg,
// ffprobe): started without a shell, its output read line by line, waited for.
#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace test_support {

class ChildProcess {
public:
    // Starts arguments[0] (searched in PATH) with its standard output on a
    // pipe when captureOutput is true, else on /dev/null like its errors.
    ChildProcess(const std::vector<std::string> &arguments, bool captureOutput);
    ~ChildProcess(); // ends a child that is still running
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    bool started() const { return m_pid > 0; }
    // The next line of the child's output; empty at its end.
    std::string readLine();
    bool waitForExit(std::chrono::milliseconds timeout);
    // The child's wait status (0 for a normal exit with code 0), once it has
    // ended; -1 before.
    int exitStatus() const { return m_status; }
    // SIGTERM, then waits for the child.
    void terminate();
    // What the child used (CPU times, peak resident size), once it has ended.
    const rusage &usage() const { return m_usage; }

private:
    pid_t m_pid = -1;
    rusage m_usage{};
    int m_status = -1;
    FILE *m_output = nullptr;
};

} // namespace test_support
