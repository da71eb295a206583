#include "request_log.h"

#include <iostream>

namespace cast_server {

RequestLog::RequestLog(const std::string &path) : toStderr_(path.empty()) {
    if (!toStderr_) {
        file_.open(path, std::ios::out | std::ios::app);
    }
}

bool RequestLog::isOpen() const {
    return toStderr_ || file_.is_open();
}

void RequestLog::write(const nlohmann::json &entry) {
    // Invalid UTF-8 from a client must not stop the log.
    const std::string line = entry.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    std::lock_guard<std::mutex> lock(mutex_);
    std::ostream &out = toStderr_ ? std::cerr : file_;
    out << line << '\n';
    out.flush();
}

} // namespace cast_server
