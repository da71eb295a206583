// Command line of cast-server.
#ifndef CAST_SERVER_OPTIONS_H
#define CAST_SERVER_OPTIONS_H

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace cast_server {

// The five exchanges of the desktop program with the server.
enum class Exchange { Active, Upgrade, Connect, Heart, DisConnect };

// Command-line name of an exchange ("active", "upgrade", "connect", "heart",
// "disconnect").
const char *exchangeName(Exchange exchange);
std::optional<Exchange> exchangeFromName(const std::string &name);
const std::vector<Exchange> &allExchanges();

struct Receiver {
    std::string ip;
    int port = 0;
    int width = 0;
    int height = 0;
};

struct Refusal {
    int code = 0;
    std::string msg;
    // MSG given as "json=VALUE": "msg" is that JSON value, of any type.
    bool msgIsJson = false;
};

struct UpgradeAnnouncement {
    std::string version;
    std::string url; // empty: served from the files folder under upgrade name
    std::string name;
    int type = 0;
};

struct ServerOptions {
    std::string host = "127.0.0.1";
    int port = 8080;
    std::map<std::string, Receiver> receivers; // by cast code, exact match
    std::map<Exchange, Refusal> refusals;
    std::map<Exchange, int> delaysMs;
    std::optional<UpgradeAnnouncement> upgrade;
    // Hostile answers: the "data" of every accepted connect, as JSON text
    // (empty: the receiver of the cast code), and replies padded to a size.
    std::string connectData;
    std::map<Exchange, long long> padBytes;
    std::string filesDir;
    std::string logPath; // empty: request log on standard error
};

struct ParseResult {
    ServerOptions options;
    bool help = false;
    std::string error; // set when the command line is unusable
};

ParseResult parseOptions(const std::vector<std::string> &args);
std::string helpText(const std::string &program);

} // namespace cast_server

#endif
