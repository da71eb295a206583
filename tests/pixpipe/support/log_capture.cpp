#include "log_capture.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#else
#include <unistd.h>
#endif

namespace pixpipe::testing {

LogCapture::LogCapture() {
    std::string path = (std::filesystem::temp_directory_path() / "pixpipe-log-XXXXXX").string();
#ifdef _WIN32
    // MinGW's mkstemp denies other opens of the file; text() must read it.
    int fd = _mktemp_s(path.data(), path.size() + 1) == 0
                 ? _sopen(path.c_str(), _O_RDWR | _O_CREAT | _O_EXCL | _O_BINARY, _SH_DENYNO,
                          _S_IREAD | _S_IWRITE)
                 : -1;
#else
    int fd = mkstemp(path.data());
#endif
    if (fd < 0)
        throw std::runtime_error("LogCapture: cannot create a temporary file");
    m_path = path;
    std::fflush(stdout);
    m_savedStdout = dup(fileno(stdout));
    dup2(fd, fileno(stdout));
    close(fd);
}

LogCapture::~LogCapture() {
    std::fflush(stdout);
    dup2(m_savedStdout, fileno(stdout));
    close(m_savedStdout);
    // Echo the captured log so that a failing test still shows it.
    std::fputs(text().c_str(), stdout);
    std::fflush(stdout);
    unlink(m_path.c_str());
}

std::string LogCapture::text() const {
    std::fflush(stdout);
    std::ifstream file(m_path, std::ios::binary);
    std::ostringstream contents;
    contents << file.rdbuf();
    return contents.str();
}

int LogCapture::countLines(const std::string &line) const {
    std::istringstream lines(text());
    int count = 0;
    for (std::string current; std::getline(lines, current);)
        if (current == line)
            ++count;
    return count;
}

bool LogCapture::contains(const std::string &fragment) const {
    return text().find(fragment) != std::string::npos;
}

} // namespace pixpipe::testing
