// A helper program run by a test or a benchmark (cast-receiver, cast-server,
// ffmpeg, ffprobe): started without a shell, its standard output and errors
// on pipes or on /dev/null, read as they come, signalled and waited for.
#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace test_support {

class ChildProcess {
public:
    enum class Stream { Output, Errors };

    // Starts arguments[0] (searched in PATH) with each of its standard output
    // and standard error on a pipe when asked, else on /dev/null.
    ChildProcess(const std::vector<std::string> &arguments, bool pipeOutput, bool pipeErrors);
    // Standard output on a pipe when captureOutput is true; errors discarded.
    ChildProcess(const std::vector<std::string> &arguments, bool captureOutput)
        : ChildProcess(arguments, captureOutput, false) {}
    ~ChildProcess(); // ends a child that is still running
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    bool started() const { return m_pid > 0; }
    // The next line of the child's output with its "\n"; what came before the
    // end of the output or before timeout passed without a byte.
    std::string readLine(std::chrono::milliseconds timeout = std::chrono::hours(1));
    // Waits up to timeout for bytes on the stream and appends one read of
    // them to into; false when none came (the stream ended, or time ran out).
    bool readSome(Stream stream, std::string &into, std::chrono::milliseconds timeout);
    // What the stream still brings, up to its end.
    std::string readToEnd(Stream stream);

    void signal(int number);
    bool waitForExit(std::chrono::milliseconds timeout);
    // The child's wait status (0 for a normal exit with code 0), once it has
    // ended; -1 before.
    int exitStatus() const { return m_status; }
    // The exit code, or 128 + the signal that ended the child; -1 before.
    int exitCode() const;
    // SIGTERM, then waits for the child (SIGKILL after 5 s).
    void terminate();
    // What the child used (CPU times, peak resident size), once it has ended.
    const rusage &usage() const { return m_usage; }

private:
    int descriptor(Stream stream) const { return stream == Stream::Output ? m_output : m_errors; }

    pid_t m_pid = -1;
    rusage m_usage{};
    int m_status = -1;
    int m_output = -1;
    int m_errors = -1;
};

} // namespace test_support
