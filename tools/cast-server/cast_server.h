// The HTTP side of cast-server: routes, sign check, replies, downloads.
#ifndef CAST_SERVER_CAST_SERVER_H
#define CAST_SERVER_CAST_SERVER_H

#include "options.h"
#include "request_log.h"

#include <condition_variable>
#include <httplib.h>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>

namespace cast_server {

class CastServer {
public:
    CastServer(ServerOptions options, RequestLog &log);
    ~CastServer();

    CastServer(const CastServer &) = delete;
    CastServer &operator=(const CastServer &) = delete;

    // Binds the listening socket; returns the port (the chosen one when the
    // options ask for port 0) or -1 when the address cannot be bound.
    int bind();
    // Serves requests until stop(); false when serving could not start.
    bool run();
    // True once run() accepts requests; a stop() from then on ends it.
    bool isRunning() const;
    // Ends run() and cuts short every reply delay. Safe from any thread.
    void stop();

    // http://HOST:PORT/prod-api/ once bound.
    std::string baseUrl() const;

private:
    struct Reply {
        int httpStatus = 200;
        nlohmann::json body;
    };

    void addRoutes();
    void handleExchange(Exchange exchange, const httplib::Request &request,
                        httplib::Response &response);
    Reply answer(Exchange exchange, const nlohmann::json &fields, nlohmann::json &entry) const;
    void serveFile(const std::string &variant, const httplib::Request &request,
                   httplib::Response &response);
    void sendPadded(const std::string &body, size_t size, httplib::Response &response);
    void serveGenerated(const std::string &variant, const httplib::Request &request,
                        httplib::Response &response);
    // False once stop() was called.
    bool isServing();
    void handleUnknown(const httplib::Request &request, httplib::Response &response);
    // Sleeps up to `ms`; returns early when the server stops.
    void pause(int ms);
    std::string hostForUrls() const;

    ServerOptions options_;
    RequestLog &log_;
    httplib::Server server_;
    int port_ = -1;

    std::mutex stopMutex_;
    std::condition_variable stopped_;
    bool stopping_ = false;
};

// Percent-encodes every byte but ASCII letters, digits and "-._~".
std::string percentEncode(const std::string &text);

} // namespace cast_server

#endif
