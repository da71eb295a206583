// One JSON line per request, to a file or to standard error.
#ifndef CAST_SERVER_REQUEST_LOG_H
#define CAST_SERVER_REQUEST_LOG_H

#include <fstream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>

namespace cast_server {

class RequestLog {
public:
    // An empty path logs to standard error. Check isOpen() afterwards.
    explicit RequestLog(const std::string &path);

    bool isOpen() const;
    // Writes `entry` as one line and flushes it, so that a test reading the
    // file sees every answered request. Safe from several threads.
    void write(const nlohmann::json &entry);

private:
    std::mutex mutex_;
    std::ofstream file_;
    bool toStderr_;
};

} // namespace cast_server

#endif
