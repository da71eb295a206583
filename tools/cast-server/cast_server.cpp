#include "cast_server.h"

#include "sign.h"

#include <cctype>
#include <chrono>
#include <fstream>
#include <iterator>
#include <memory>
#include <sys/stat.h>

namespace cast_server {

namespace {

using nlohmann::json;

const char kBasePath[] = "/prod-api";
const char kJsonType[] = "application/json; charset=utf-8";
const char kFileType[] = "application/octet-stream";

// Endpoint path of each exchange below the base path.
const char *endpointPath(Exchange exchange) {
    switch (exchange) {
    case Exchange::Active:
        return "receive/tv/v1/active";
    case Exchange::Upgrade:
        return "app/v1/upgrade";
    case Exchange::Connect:
        return "send/pc/v1/connect";
    case Exchange::Heart:
        return "send/pc/v1/heart";
    case Exchange::DisConnect:
        return "send/pc/v1/disConnect";
    }
    return "";
}

std::vector<std::string> requiredFields(Exchange exchange) {
    switch (exchange) {
    case Exchange::Active:
        return {"timestamp", "uuid", "name", "mac", "channel", "deviceType", "deviceSystemVersion"};
    case Exchange::Upgrade:
        return {"timestamp", "systemType", "channelNo", "version"};
    case Exchange::Connect:
        return {"code", "timestamp", "type", "resolution", "bitRate", "frameRate"};
    case Exchange::Heart:
        return {"timestamp", "code"};
    case Exchange::DisConnect:
        return {"timestamp", "code", "errorCode"};
    }
    return {};
}

json envelope(int code, const std::string &msg, json data = json::object()) {
    return json{{"code", code}, {"msg", msg}, {"data", std::move(data)}};
}

long long nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

std::string percentEncode(const std::string &text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            out.push_back(static_cast<char>(c));
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0x0F];
        }
    }
    return out;
}

// Reads DIR/NAME when NAME is a plain file name of a regular file in DIR.
bool readServedFile(const std::string &dir, const std::string &name, std::string &content) {
    if (dir.empty() || name.empty() || name == "." || name == ".." || name.find('/') != name.npos) {
        return false;
    }
    const std::string path = dir + "/" + name;
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open()) {
        return false;
    }
    content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

} // namespace

CastServer::CastServer(ServerOptions options, RequestLog &log)
    : options_(std::move(options)), log_(log) {
    // Without httplib's SO_REUSEPORT, so that a port already in use is an
    // error rather than two servers sharing the requests.
    server_.set_socket_options([](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    });
    addRoutes();
}

CastServer::~CastServer() {
    stop();
}

int CastServer::bind() {
    if (options_.port == 0) {
        port_ = server_.bind_to_any_port(options_.host);
    } else {
        port_ = server_.bind_to_port(options_.host, options_.port) ? options_.port : -1;
    }
    return port_;
}

bool CastServer::run() {
    return port_ > 0 && server_.listen_after_bind();
}

bool CastServer::isRunning() const {
    return server_.is_running();
}

void CastServer::stop() {
    {
        std::lock_guard<std::mutex> lock(stopMutex_);
        stopping_ = true;
    }
    stopped_.notify_all();
    server_.stop();
}

std::string CastServer::hostForUrls() const {
    return "http://" + (options_.host == "0.0.0.0" ? std::string("127.0.0.1") : options_.host) +
           ":" + std::to_string(port_);
}

std::string CastServer::baseUrl() const {
    return hostForUrls() + kBasePath + "/";
}

void CastServer::pause(int ms) {
    std::unique_lock<std::mutex> lock(stopMutex_);
    stopped_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping_; });
}

void CastServer::addRoutes() {
    for (Exchange exchange : allExchanges()) {
        // One or more slashes after the base: the program's default base URL
        // ends in a slash and every endpoint path starts with one.
        const std::string pattern = std::string(kBasePath) + "/+" + endpointPath(exchange);
        auto handler = [this, exchange](const httplib::Request &request,
                                        httplib::Response &response) {
            handleExchange(exchange, request, response);
        };
        if (exchange == Exchange::Heart) {
            server_.Get(pattern, handler);
        } else {
            server_.Post(pattern, handler);
        }
    }
    for (const std::string variant : {"files", "files-nolength", "files-slow", "files-cut"}) {
        server_.Get("/" + variant + "/(.+)",
                    [this, variant](const httplib::Request &request, httplib::Response &response) {
                        serveFile(variant, request, response);
                    });
    }
    auto unknown = [this](const httplib::Request &request, httplib::Response &response) {
        handleUnknown(request, response);
    };
    server_.Get(".*", unknown);
    server_.Post(".*", unknown);
    server_.Put(".*", unknown);
    server_.Delete(".*", unknown);
}

void CastServer::handleExchange(Exchange exchange, const httplib::Request &request,
                                httplib::Response &response) {
    json entry = {{"time_ms", nowMs()},
                  {"method", request.method},
                  {"path", request.path},
                  {"exchange", exchangeName(exchange)},
                  {"fields", json::object()},
                  {"sign_ok", false},
                  {"content_type", request.get_header_value("Content-Type")}};
    Reply reply;
    json fields = json::object();
    bool parsed = true;
    if (request.method == "GET") {
        for (const auto &param : request.params) {
            if (!fields.contains(param.first)) {
                fields[param.first] = param.second;
            }
        }
    } else {
        fields = json::parse(request.body, nullptr, false);
        if (fields.is_discarded() || !fields.is_object()) {
            parsed = false;
            entry["error"] = "body is not a JSON object";
            entry["body"] = request.body;
            fields = json::object();
            reply = {400, envelope(400, "请求内容不是JSON对象")};
        }
    }
    entry["fields"] = fields;
    if (parsed) {
        reply = answer(exchange, fields, entry);
    }
    entry["http_status"] = reply.httpStatus;
    entry["reply_code"] = reply.body["code"];

    const auto delay = options_.delaysMs.find(exchange);
    const int delayMs = delay == options_.delaysMs.end() ? 0 : delay->second;
    if (delayMs > 0) {
        entry["delay_ms"] = delayMs;
    }
    log_.write(entry);
    pause(delayMs);
    response.status = reply.httpStatus;
    response.set_content(reply.body.dump(-1, ' ', false, json::error_handler_t::replace),
                         kJsonType);
}

CastServer::Reply CastServer::answer(Exchange exchange, const json &fields, json &entry) const {
    json signedFields = fields;
    signedFields.erase("sign");
    const auto sign = fields.find("sign");
    const bool signOk = sign != fields.end() && sign->is_string() &&
                        sign->get<std::string>() == computeSign(signedFields);
    entry["sign_ok"] = signOk;

    for (auto it = fields.begin(); it != fields.end(); ++it) {
        if (!it->is_string()) {
            entry["error"] = "field " + it.key() + " is not a string";
            return {200, envelope(400, "参数必须是字符串: " + it.key())};
        }
    }
    for (const auto &name : requiredFields(exchange)) {
        if (!fields.contains(name)) {
            entry["error"] = "missing field " + name;
            return {200, envelope(400, "缺少参数: " + name)};
        }
    }
    if (!signOk) {
        entry["error"] = "wrong sign, expected " + computeSign(signedFields);
        return {200, envelope(401, "签名错误")};
    }
    if (const auto refusal = options_.refusals.find(exchange); refusal != options_.refusals.end()) {
        return {200, envelope(refusal->second.code, refusal->second.msg)};
    }

    switch (exchange) {
    case Exchange::Connect: {
        const auto receiver = options_.receivers.find(fields.at("code").get<std::string>());
        if (receiver == options_.receivers.end()) {
            entry["error"] = "no receiver for this code";
            return {200, envelope(400, "投屏码错误，请检查电视上显示的投屏码")};
        }
        const Receiver &target = receiver->second;
        return {200, envelope(200, "success",
                              {{"ip", target.ip},
                               {"port", target.port},
                               {"width", target.width},
                               {"height", target.height}})};
    }
    case Exchange::Upgrade: {
        if (!options_.upgrade) {
            return {200, envelope(200, "success",
                                  {{"isUpgrade", 0}, {"version", fields.at("version")}})};
        }
        const UpgradeAnnouncement &upgrade = *options_.upgrade;
        const std::string url = upgrade.url.empty()
                                    ? hostForUrls() + "/files/" + percentEncode(upgrade.name)
                                    : upgrade.url;
        return {200, envelope(200, "success",
                              {{"isUpgrade", 1},
                               {"version", upgrade.version},
                               {"url", url},
                               {"name", upgrade.name},
                               {"upgradeType", upgrade.type}})};
    }
    case Exchange::Active:
    case Exchange::Heart:
    case Exchange::DisConnect:
        break;
    }
    return {200, envelope(200, "success")};
}

void CastServer::serveFile(const std::string &variant, const httplib::Request &request,
                           httplib::Response &response) {
    json entry = {{"time_ms", nowMs()},     {"method", request.method}, {"path", request.path},
                  {"exchange", "download"}, {"fields", json::object()}, {"sign_ok", nullptr},
                  {"reply_code", nullptr}};
    auto content = std::make_shared<std::string>();
    if (!readServedFile(options_.filesDir, request.matches[1], *content)) {
        entry["http_status"] = 404;
        log_.write(entry);
        response.status = 404;
        response.set_content("not found\n", "text/plain");
        return;
    }
    entry["http_status"] = 200;
    entry["bytes"] = content->size();
    log_.write(entry);

    const size_t size = content->size();
    if (variant == "files") {
        response.set_content(*content, kFileType);
    } else if (variant == "files-nolength") {
        response.set_chunked_content_provider(
            kFileType, [content](size_t offset, httplib::DataSink &sink) {
                const size_t piece = std::min<size_t>(64 * 1024, content->size() - offset);
                if (piece > 0 && !sink.write(content->data() + offset, piece)) {
                    return false;
                }
                if (offset + piece >= content->size()) {
                    sink.done();
                }
                return true;
            });
    } else if (variant == "files-slow") {
        const size_t piece = std::max<size_t>(1, (size + 15) / 16);
        response.set_content_provider(
            size, kFileType,
            [this, content, piece](size_t offset, size_t length, httplib::DataSink &sink) {
                if (offset > 0) {
                    pause(100);
                }
                return sink.write(content->data() + offset, std::min(piece, length));
            });
    } else {
        // Announces the whole length, then gives up half way: the client
        // sees the connection close in the middle of the body.
        const size_t half = size / 2;
        response.set_content_provider(
            size, kFileType, [content, half](size_t offset, size_t, httplib::DataSink &sink) {
                if (offset >= half) {
                    return false;
                }
                return sink.write(content->data() + offset, half - offset);
            });
    }
}

void CastServer::handleUnknown(const httplib::Request &request, httplib::Response &response) {
    log_.write({{"time_ms", nowMs()},
                {"method", request.method},
                {"path", request.path},
                {"exchange", "unknown"},
                {"fields", json::object()},
                {"sign_ok", nullptr},
                {"http_status", 404},
                {"reply_code", 404}});
    response.status = 404;
    response.set_content(envelope(404, "not found").dump(), kJsonType);
}

} // namespace cast_server
