// The exchanges, downloads and request log of a CastServer run in process.
#include "cast_server.h"
#include "sign.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <thread>
#include <unistd.h>

using namespace cast_server;
using nlohmann::json;

namespace {

const char kHeart[] = "/prod-api//send/pc/v1/heart";
const char kConnect[] = "/prod-api//send/pc/v1/connect";

json connectFields(const std::string &code) {
    json fields = {{"bitRate", "1300"},
                   {"code", code},
                   {"frameRate", "15"},
                   {"resolution", "1920*1080"},
                   {"timestamp", "1700000000000"},
                   {"type", "1"}};
    fields["sign"] = computeSign(fields);
    return fields;
}

json signedFields(json fields) {
    fields["sign"] = computeSign(fields);
    return fields;
}

std::string query(const json &fields) {
    std::string out;
    for (auto it = fields.begin(); it != fields.end(); ++it) {
        out += (out.empty() ? "?" : "&") + percentEncode(it.key()) + "=" +
               percentEncode(it->get<std::string>());
    }
    return out;
}

class CastServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        char dir[] = "/tmp/cast-server-test.XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        dir_ = dir;
    }

    void TearDown() override {
        if (server_) {
            server_->stop();
        }
        if (serving_.joinable()) {
            serving_.join();
        }
        server_.reset();
        log_.reset();
        std::system(("rm -rf " + dir_).c_str());
    }

    void start(ServerOptions options) {
        options.port = 0;
        options.logPath = dir_ + "/requests.jsonl";
        log_ = std::make_unique<RequestLog>(options.logPath);
        server_ = std::make_unique<CastServer>(options, *log_);
        port_ = server_->bind();
        ASSERT_GT(port_, 0);
        serving_ = std::thread([this] { server_->run(); });
        while (!server_->isRunning()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    httplib::Client client() const {
        httplib::Client client("127.0.0.1", port_);
        client.set_read_timeout(10, 0);
        return client;
    }

    json post(const std::string &path, const json &fields) {
        const auto result = client().Post(path.c_str(), fields.dump(4), "application/json");
        EXPECT_TRUE(result);
        EXPECT_EQ(result->status, 200);
        return json::parse(result->body);
    }

    json get(const std::string &pathAndQuery) {
        const auto result = client().Get(pathAndQuery.c_str());
        EXPECT_TRUE(result);
        return result ? json::parse(result->body) : json();
    }

    std::vector<json> logLines() const {
        std::vector<json> lines;
        std::ifstream in(dir_ + "/requests.jsonl");
        std::string line;
        while (std::getline(in, line)) {
            lines.push_back(json::parse(line));
        }
        return lines;
    }

    void writeFile(const std::string &name, const std::string &content) {
        std::ofstream(dir_ + "/" + name, std::ios::binary) << content;
    }

    std::string dir_;
    std::unique_ptr<RequestLog> log_;
    std::unique_ptr<CastServer> server_;
    std::thread serving_;
    int port_ = 0;
};

TEST_F(CastServerTest, ConnectPairsKnownCodesAndRefusesOthers) {
    ServerOptions options;
    options.receivers["AB12CD"] = Receiver{"192.168.3.7", 7000, 1280, 720};
    start(options);

    const json paired = post(kConnect, connectFields("AB12CD"));
    EXPECT_EQ(paired["code"], 200);
    EXPECT_EQ(paired["data"],
              json({{"ip", "192.168.3.7"}, {"port", 7000}, {"width", 1280}, {"height", 720}}));

    const json unknown = post(kConnect, connectFields("ZZ0000"));
    EXPECT_EQ(unknown["code"], 400);
    EXPECT_FALSE(unknown["msg"].get<std::string>().empty());

    // The base URL without a trailing slash gives a single slash: accepted too.
    EXPECT_EQ(post("/prod-api/send/pc/v1/connect", connectFields("AB12CD"))["code"], 200);

    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0]["method"], "POST");
    EXPECT_EQ(lines[0]["path"], kConnect); // logged as sent
    EXPECT_EQ(lines[0]["exchange"], "connect");
    EXPECT_EQ(lines[0]["fields"], connectFields("AB12CD"));
    EXPECT_EQ(lines[0]["sign_ok"], true);
    EXPECT_EQ(lines[0]["reply_code"], 200);
    EXPECT_EQ(lines[0]["content_type"], "application/json");
    EXPECT_EQ(lines[1]["reply_code"], 400);
}

TEST_F(CastServerTest, SignIsCheckedOnEveryExchange) {
    start({});
    json forged = signedFields({{"timestamp", "1700000000000"}, {"code", "AB12CD"}});
    EXPECT_EQ(forged["sign"], "3bcb51cae0eda15df03ce141d81e9af1");
    EXPECT_EQ(get(kHeart + query(forged))["code"], 200);

    forged["code"] = "AB12CE"; // changed after signing
    EXPECT_EQ(get(kHeart + query(forged))["code"], 401);
    json unsignedFields = {{"timestamp", "1"}, {"code", "AB12CD"}, {"errorCode", "0"}};
    EXPECT_EQ(post("/prod-api//send/pc/v1/disConnect", unsignedFields)["code"], 401);

    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0]["sign_ok"], true);
    EXPECT_EQ(lines[1]["sign_ok"], false);
    EXPECT_EQ(lines[2]["sign_ok"], false);
    EXPECT_EQ(lines[2]["exchange"], "disconnect");
}

TEST_F(CastServerTest, QueryValuesArePercentDecodedBeforeTheSignCheck) {
    start({});
    // The sign is taken over the raw value; the query carries it encoded.
    const json fields = signedFields({{"timestamp", "1"}, {"code", "A&B=C #+%\xE5\xAE\xA2"}});
    EXPECT_EQ(get(kHeart + query(fields))["code"], 200);
    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0]["fields"]["code"], "A&B=C #+%\xE5\xAE\xA2");
    EXPECT_EQ(lines[0]["sign_ok"], true);
}

TEST_F(CastServerTest, MalformedRequestsAreAnsweredAndLogged) {
    start({});
    const auto notJson =
        client().Post("/prod-api//app/v1/upgrade", "{\"timestamp\":", "application/json");
    ASSERT_TRUE(notJson);
    EXPECT_EQ(notJson->status, 400);

    json missing = signedFields({{"timestamp", "1"}, {"code", "AB12CD"}});
    EXPECT_EQ(post("/prod-api//send/pc/v1/disConnect", missing)["code"], 400);

    json number = {{"timestamp", 1}, {"code", "AB12CD"}, {"errorCode", "0"}};
    number["sign"] = computeSign(number);
    EXPECT_EQ(post("/prod-api//send/pc/v1/disConnect", number)["code"], 400);

    const auto wrongMethod = client().Post(kHeart, "{}", "application/json");
    ASSERT_TRUE(wrongMethod);
    EXPECT_EQ(wrongMethod->status, 404);

    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0]["error"], "body is not a JSON object");
    EXPECT_EQ(lines[1]["error"], "missing field errorCode");
    EXPECT_EQ(lines[2]["error"], "field timestamp is not a string");
    EXPECT_EQ(lines[3]["exchange"], "unknown");
}

TEST_F(CastServerTest, RefusalAndDelayApplyToTheNamedExchangeOnly) {
    ServerOptions options;
    options.receivers["AB12CD"] = Receiver{"127.0.0.1", 7000, 1920, 1080};
    options.refusals[Exchange::Connect] = Refusal{1002, "电视已被占用"};
    options.delaysMs[Exchange::Heart] = 400;
    start(options);

    const json refused = post(kConnect, connectFields("AB12CD"));
    EXPECT_EQ(refused["code"], 1002);
    EXPECT_EQ(refused["msg"], "电视已被占用");

    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(get(kHeart + query(signedFields({{"timestamp", "1"}, {"code", "AB12CD"}})))["code"],
              200);
    EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(400));

    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0]["sign_ok"], true); // refused although correctly signed
    EXPECT_EQ(lines[1]["delay_ms"], 400);
}

TEST_F(CastServerTest, StopCutsAPendingDelayShort) {
    ServerOptions options;
    options.delaysMs[Exchange::Heart] = 600000;
    start(options);
    std::thread request([this] {
        client().Get((kHeart + query(signedFields({{"timestamp", "1"}, {"code", "X"}}))).c_str());
    });
    while (logLines().empty()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    server_->stop();
    serving_.join(); // would hang for ten minutes if the delay were not cut
    request.join();
}

TEST_F(CastServerTest, UpgradeCheckAnnouncesOnlyWhenConfigured) {
    const json check = signedFields(
        {{"timestamp", "1"}, {"systemType", "1"}, {"channelNo", "official"}, {"version", "1.0.0"}});
    start({});
    const json none = post("/prod-api//app/v1/upgrade", check);
    EXPECT_EQ(none["code"], 200);
    EXPECT_EQ(none["data"]["isUpgrade"], 0);
    server_->stop();
    serving_.join();

    ServerOptions options;
    options.filesDir = dir_;
    options.upgrade = UpgradeAnnouncement{"2.1.0", "", "setup 2.exe", 1};
    writeFile("setup 2.exe", "package bytes");
    start(options);
    const json announced = post("/prod-api//app/v1/upgrade", check);
    EXPECT_EQ(announced["data"]["isUpgrade"], 1);
    EXPECT_EQ(announced["data"]["version"], "2.1.0");
    EXPECT_EQ(announced["data"]["name"], "setup 2.exe");
    EXPECT_EQ(announced["data"]["upgradeType"], 1);
    const std::string url = announced["data"]["url"];
    const std::string prefix = "http://127.0.0.1:" + std::to_string(port_);
    ASSERT_EQ(url, prefix + "/files/setup%202.exe");
    const auto download = client().Get(url.substr(prefix.size()).c_str());
    ASSERT_TRUE(download);
    EXPECT_EQ(download->body, "package bytes");
}

TEST_F(CastServerTest, FilesAreServedInEveryVariant) {
    std::string content(300000, '\0');
    for (size_t i = 0; i < content.size(); ++i) {
        content[i] = static_cast<char>(i * 7 + i / 251);
    }
    writeFile("pkg.exe", content);
    ServerOptions options;
    options.filesDir = dir_;
    start(options);

    const auto whole = client().Get("/files/pkg.exe");
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->status, 200);
    EXPECT_EQ(whole->get_header_value("Content-Length"), std::to_string(content.size()));
    EXPECT_EQ(whole->body, content);

    const auto chunked = client().Get("/files-nolength/pkg.exe");
    ASSERT_TRUE(chunked);
    EXPECT_FALSE(chunked->has_header("Content-Length"));
    EXPECT_EQ(chunked->get_header_value("Transfer-Encoding"), "chunked");
    EXPECT_EQ(chunked->body, content);

    const auto slow = client().Get("/files-slow/pkg.exe");
    ASSERT_TRUE(slow);
    EXPECT_EQ(slow->body, content);

    std::string received;
    const auto cut = client().Get("/files-cut/pkg.exe", [&](const char *data, size_t length) {
        received.append(data, length);
        return true;
    });
    EXPECT_FALSE(cut); // the connection ends before the announced length
    EXPECT_EQ(received, content.substr(0, content.size() / 2));

    for (const char *missing : {"/files/none.exe", "/files/..%2Frequests.jsonl", "/files/."}) {
        const auto result = client().Get(missing);
        ASSERT_TRUE(result) << missing;
        EXPECT_EQ(result->status, 404) << missing;
    }
    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0]["exchange"], "download");
    EXPECT_EQ(lines[0]["bytes"], content.size());
    EXPECT_EQ(lines[4]["http_status"], 404);
}

TEST_F(CastServerTest, HostileAnswersAndGeneratedDownloads) {
    ServerOptions options;
    options.connectData = R"({"ip":"127.0.0.1","port":7000,"width":"abc","height":16000})";
    options.padBytes[Exchange::Heart] = 3000000;
    start(options);

    // Any cast code is paired with the given data.
    EXPECT_EQ(post(kConnect, connectFields("ZZ0000"))["data"], json::parse(options.connectData));

    const auto padded = client().Get(
        (kHeart + query(signedFields({{"timestamp", "1700000000000"}, {"code", "AB12CD"}})))
            .c_str());
    ASSERT_TRUE(padded);
    EXPECT_FALSE(padded->has_header("Content-Length"));
    EXPECT_EQ(padded->body.size(), 3000000u);
    const json reply = json::parse(padded->body);
    EXPECT_EQ(reply["code"], 200);
    EXPECT_EQ(reply["padding"].get<std::string>().find_first_not_of('x'), std::string::npos);

    const auto generated = client().Get("/generated/200000");
    ASSERT_TRUE(generated);
    EXPECT_EQ(generated->get_header_value("Content-Length"), "200000");
    ASSERT_EQ(generated->body.size(), 200000u);
    EXPECT_EQ(generated->body.substr(0, 2), "MZ");
    const auto chunked = client().Get("/generated-nolength/200000");
    ASSERT_TRUE(chunked);
    EXPECT_FALSE(chunked->has_header("Content-Length"));
    EXPECT_EQ(chunked->body, generated->body);

    const auto redirect = client().Get("/redirect?to=file%3A%2F%2F%2Fetc%2Fpasswd");
    ASSERT_TRUE(redirect);
    EXPECT_EQ(redirect->status, 302);
    EXPECT_EQ(redirect->get_header_value("Location"), "file:///etc/passwd");
}

} // namespace
