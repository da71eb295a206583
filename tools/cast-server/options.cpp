#include "options.h"

#include <cerrno>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <sstream>

namespace cast_server {

namespace {

const std::vector<std::pair<Exchange, const char *>> kExchangeNames = {
    {Exchange::Active, "active"},         {Exchange::Upgrade, "upgrade"},
    {Exchange::Connect, "connect"},       {Exchange::Heart, "heart"},
    {Exchange::DisConnect, "disconnect"},
};

std::optional<long> parseInteger(const std::string &text, long min, long max) {
    if (text.empty()) {
        return std::nullopt;
    }
    errno = 0;
    char *end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value < min || value > max) {
        return std::nullopt;
    }
    return value;
}

bool isIpv4(const std::string &text) {
    std::istringstream in(text);
    std::string part;
    int parts = 0;
    while (std::getline(in, part, '.')) {
        if (part.empty() || part.size() > 3 || part.find_first_not_of("0123456789") != part.npos ||
            !parseInteger(part, 0, 255)) {
            return false;
        }
        ++parts;
    }
    return parts == 4 && text.back() != '.';
}

// CODE=IP:PORT:WIDTHxHEIGHT
std::string parseReceiver(const std::string &value, ServerOptions &options) {
    const std::string usage = "--receiver expects CODE=IP:PORT:WIDTHxHEIGHT, got \"" + value + "\"";
    const auto equals = value.find('=');
    if (equals == 0 || equals == value.npos) {
        return usage;
    }
    const std::string code = value.substr(0, equals);
    const std::string rest = value.substr(equals + 1);
    const auto colon1 = rest.find(':');
    const auto colon2 = colon1 == rest.npos ? rest.npos : rest.find(':', colon1 + 1);
    if (colon2 == rest.npos) {
        return usage;
    }
    Receiver receiver;
    receiver.ip = rest.substr(0, colon1);
    const auto port = parseInteger(rest.substr(colon1 + 1, colon2 - colon1 - 1), 1, 65535);
    const std::string size = rest.substr(colon2 + 1);
    const auto x = size.find('x');
    if (!isIpv4(receiver.ip) || !port || x == size.npos) {
        return usage;
    }
    const auto width = parseInteger(size.substr(0, x), 0, 65535);
    const auto height = parseInteger(size.substr(x + 1), 0, 65535);
    if (!width || !height) {
        return usage;
    }
    receiver.port = static_cast<int>(*port);
    receiver.width = static_cast<int>(*width);
    receiver.height = static_cast<int>(*height);
    options.receivers[code] = receiver;
    return {};
}

// The exchanges a command-line name stands for; "all" stands for every one.
std::optional<std::vector<Exchange>> exchangesFromName(const std::string &name) {
    if (name == "all") {
        return allExchanges();
    }
    if (const auto exchange = exchangeFromName(name)) {
        return std::vector<Exchange>{*exchange};
    }
    return std::nullopt;
}

// EXCHANGE:CODE:MSG
std::string parseRefusal(const std::string &value, ServerOptions &options) {
    const std::string usage =
        "--refuse expects EXCHANGE:CODE:MSG with EXCHANGE one of active, upgrade, connect, "
        "heart, disconnect, all and CODE an integer other than 200, got \"" +
        value + "\"";
    const auto colon1 = value.find(':');
    const auto colon2 = colon1 == value.npos ? value.npos : value.find(':', colon1 + 1);
    if (colon2 == value.npos) {
        return usage;
    }
    const auto exchanges = exchangesFromName(value.substr(0, colon1));
    const auto code = parseInteger(value.substr(colon1 + 1, colon2 - colon1 - 1), -999999, 999999);
    if (!exchanges || !code || *code == 200) {
        return usage;
    }
    std::string msg = value.substr(colon2 + 1);
    const std::string jsonPrefix = "json=";
    const bool msgIsJson = msg.rfind(jsonPrefix, 0) == 0;
    if (msgIsJson) {
        msg = msg.substr(jsonPrefix.size());
        if (!nlohmann::json::accept(msg)) {
            return usage;
        }
    }
    for (Exchange exchange : *exchanges) {
        options.refusals[exchange] = Refusal{static_cast<int>(*code), msg, msgIsJson};
    }
    return {};
}

// MS or EXCHANGE:MS
std::string parseDelay(const std::string &value, ServerOptions &options) {
    const std::string usage =
        "--delay expects MS or EXCHANGE:MS with MS from 0 to 600000, got \"" + value + "\"";
    const auto colon = value.find(':');
    const auto exchanges = exchangesFromName(colon == value.npos ? "all" : value.substr(0, colon));
    const auto ms = parseInteger(colon == value.npos ? value : value.substr(colon + 1), 0, 600000);
    if (!exchanges || !ms) {
        return usage;
    }
    for (Exchange exchange : *exchanges) {
        options.delaysMs[exchange] = static_cast<int>(*ms);
    }
    return {};
}

// EXCHANGE:BYTES
std::string parsePad(const std::string &value, ServerOptions &options) {
    const std::string usage =
        "--pad expects EXCHANGE:BYTES with BYTES from 0 to 2147483647, got \"" + value + "\"";
    const auto colon = value.find(':');
    if (colon == value.npos) {
        return usage;
    }
    const auto exchanges = exchangesFromName(value.substr(0, colon));
    const auto bytes = parseInteger(value.substr(colon + 1), 0, 2147483647);
    if (!exchanges || !bytes) {
        return usage;
    }
    for (Exchange exchange : *exchanges) {
        options.padBytes[exchange] = *bytes;
    }
    return {};
}

std::string lastPathSegment(const std::string &url) {
    std::string path = url.substr(0, url.find_first_of("?#"));
    const auto slash = path.rfind('/');
    return slash == path.npos ? path : path.substr(slash + 1);
}

} // namespace

const char *exchangeName(Exchange exchange) {
    for (const auto &entry : kExchangeNames) {
        if (entry.first == exchange) {
            return entry.second;
        }
    }
    return "unknown";
}

std::optional<Exchange> exchangeFromName(const std::string &name) {
    for (const auto &entry : kExchangeNames) {
        if (name == entry.second) {
            return entry.first;
        }
    }
    return std::nullopt;
}

const std::vector<Exchange> &allExchanges() {
    static const std::vector<Exchange> all = {Exchange::Active, Exchange::Upgrade,
                                              Exchange::Connect, Exchange::Heart,
                                              Exchange::DisConnect};
    return all;
}

ParseResult parseOptions(const std::vector<std::string> &args) {
    ParseResult result;
    ServerOptions &options = result.options;
    UpgradeAnnouncement upgrade;
    bool upgradeVersionGiven = false;
    bool upgradeDetailGiven = false;
    std::string upgradeTypeText;

    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> inlineValue;
        if (const auto equals = name.find('='); name.rfind("--", 0) == 0 && equals != name.npos) {
            inlineValue = name.substr(equals + 1);
            name = name.substr(0, equals);
        }
        if (name == "--help" || name == "-h") {
            result.help = true;
            return result;
        }
        const bool known = name == "--host" || name == "--port" || name == "--receiver" ||
                           name == "--refuse" || name == "--delay" || name == "--files" ||
                           name == "--log" || name == "--upgrade-version" ||
                           name == "--upgrade-url" || name == "--upgrade-name" ||
                           name == "--upgrade-type" || name == "--connect-data" || name == "--pad";
        if (!known) {
            result.error = "unknown option \"" + args[i] + "\"";
            return result;
        }
        std::string value;
        if (inlineValue) {
            value = *inlineValue;
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            result.error = name + " needs a value";
            return result;
        }

        std::string error;
        if (name == "--host") {
            if (!isIpv4(value)) {
                error = "--host expects an IPv4 address, got \"" + value + "\"";
            }
            options.host = value;
        } else if (name == "--port") {
            const auto port = parseInteger(value, 0, 65535);
            if (!port) {
                error = "--port expects 0 to 65535, got \"" + value + "\"";
            } else {
                options.port = static_cast<int>(*port);
            }
        } else if (name == "--receiver") {
            error = parseReceiver(value, options);
        } else if (name == "--refuse") {
            error = parseRefusal(value, options);
        } else if (name == "--delay") {
            error = parseDelay(value, options);
        } else if (name == "--connect-data") {
            if (!nlohmann::json::accept(value)) {
                error = "--connect-data expects JSON, got \"" + value + "\"";
            }
            options.connectData = value;
        } else if (name == "--pad") {
            error = parsePad(value, options);
        } else if (name == "--files") {
            options.filesDir = value;
        } else if (name == "--log") {
            options.logPath = value;
        } else if (name == "--upgrade-version") {
            upgrade.version = value;
            upgradeVersionGiven = true;
        } else if (name == "--upgrade-url") {
            upgrade.url = value;
            upgradeDetailGiven = true;
        } else if (name == "--upgrade-name") {
            upgrade.name = value;
            upgradeDetailGiven = true;
        } else if (name == "--upgrade-type") {
            const auto type = parseInteger(value, -999999, 999999);
            if (!type) {
                error = "--upgrade-type expects an integer, got \"" + value + "\"";
            } else {
                upgrade.type = static_cast<int>(*type);
            }
            upgradeDetailGiven = true;
        }
        if (!error.empty()) {
            result.error = error;
            return result;
        }
    }

    if (upgradeVersionGiven) {
        if (upgrade.url.empty() && (options.filesDir.empty() || upgrade.name.empty())) {
            result.error = "--upgrade-version needs --upgrade-url, or --files with --upgrade-name";
            return result;
        }
        if (upgrade.name.empty()) {
            upgrade.name = lastPathSegment(upgrade.url);
        }
        options.upgrade = upgrade;
    } else if (upgradeDetailGiven) {
        result.error = "--upgrade-url, --upgrade-name and --upgrade-type need --upgrade-version";
    }
    return result;
}

std::string helpText(const std::string &program) {
    return "Usage: " + program + R"( [OPTIONS]

A test cast management server for the yoxi desktop program. It answers the
five exchanges under the base path /prod-api/ (a doubled slash after it, as
the program sends with its default base URL, is accepted):
  POST /prod-api/receive/tv/v1/active     install report
  POST /prod-api/app/v1/upgrade           upgrade check
  POST /prod-api/send/pc/v1/connect       pairing by cast code
  GET  /prod-api/send/pc/v1/heart?...     heartbeat
  POST /prod-api/send/pc/v1/disConnect    end of a cast
Every request's "sign" is checked with the program's digest. Replies are
{"code", "msg", "data"}; "code" 200 means success, 401 a wrong or missing
sign, 400 a malformed request or an unknown cast code.

Options:
  --host ADDR             IPv4 address to listen on (default 127.0.0.1)
  --port N                TCP port (default 8080); 0 picks a free port
  --receiver CODE=IP:PORT:WIDTHxHEIGHT
                          pair cast code CODE (exact match) with the receiver
                          at IP:PORT showing WIDTH x HEIGHT; repeatable
  --refuse EXCHANGE:CODE:MSG
                          answer EXCHANGE with "code" CODE (not 200) and
                          "msg" MSG; EXCHANGE is active, upgrade, connect,
                          heart, disconnect or all; repeatable; a MSG of
                          json=VALUE sends that JSON value as "msg"
  --delay MS | EXCHANGE:MS
                          wait MS milliseconds before answering (every
                          exchange, or only EXCHANGE); repeatable
  --upgrade-version V     announce version V as an upgrade ("isUpgrade" 1);
                          without it the upgrade check answers "isUpgrade" 0
  --upgrade-url URL       package URL of the announcement (default: the file
                          --upgrade-name under /files/ of this server)
  --upgrade-name NAME     package file name (default: the URL's last segment)
  --upgrade-type N        "upgradeType" of the announcement (default 0;
                          1 means a forced upgrade)
  --connect-data JSON     answer every connect with a right sign with "code"
                          200 and JSON as "data", whatever the cast code
                          (for replies with unusable values)
  --pad EXCHANGE:BYTES    make the replies of EXCHANGE (or all) at least BYTES
                          long with a "padding" string; sent in pieces
                          without a length, never held whole; repeatable
  --files DIR             serve the files of DIR for download tests:
                            GET /files/NAME           the file, with its length
                            GET /files-nolength/NAME  chunked, no Content-Length
                            GET /files-slow/NAME      in 16 pieces, 100 ms apart
                            GET /files-cut/NAME       announces the full length,
                                                      sends half, drops the link
                          a name that is not in DIR answers HTTP 404
  generated downloads, without --files (N bytes of a repeating pattern that
  starts with "MZ", made as they are sent, never held whole):
                            GET /generated/N           with its length
                            GET /generated-nolength/N  chunked, no length
                            GET /generated-drip/N      one byte per second
                            GET /generated-stall/N     announces N, sends half,
                                                       then stays silent
  GET /redirect?to=URL      answers 302 with Location URL
  --log FILE              append one JSON line per request to FILE (default:
                          standard error): "method", "path", "exchange",
                          "fields", "sign_ok", "http_status", "reply_code"
  -h, --help              show this text

When listening, one line goes to standard output:
  cast-server ready port=PORT base=http://HOST:PORT/prod-api/
SIGINT or SIGTERM stops the server. Exit status: 0 after a stop, 1 when the
server cannot start, 2 for a bad command line.
)";
}

} // namespace cast_server
