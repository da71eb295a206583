// Captures what the process writes to standard output (the engine's log)
// while the object lives, and still echoes nothing away: the text is kept in
// a temporary file and can be read at any time.
#pragma once

#include <string>

namespace pixpipe::testing {

class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    // Everything written to standard output since the capture began.
    std::string text() const;
    // How often a line equal to `line` (without its line feed) was written.
    int countLines(const std::string &line) const;
    bool contains(const std::string &fragment) const;

private:
    int m_savedStdout = -1;
    std::string m_path;
};

} // namespace pixpipe::testing
