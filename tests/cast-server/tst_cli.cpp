// The cast-server program as tests and the demo run it: help, errors, the
// ready line, serving, and stopping on SIGTERM.
#include "childprocess.h"

#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <httplib.h>
#include <string>
#include <vector>

namespace {

using test_support::ChildProcess;

// cast-server as a child process with its standard output and error piped.
class ServerProcess : public ChildProcess {
public:
    explicit ServerProcess(const std::vector<std::string> &args)
        : ChildProcess(withProgram(args), true, true) {}

    // The exit code once the process ended (after reading its output).
    int wait() { return waitForExit(std::chrono::seconds(30)) ? exitCode() : -1; }

private:
    static std::vector<std::string> withProgram(const std::vector<std::string> &args) {
        std::vector<std::string> argv{CAST_SERVER_PATH};
        argv.insert(argv.end(), args.begin(), args.end());
        return argv;
    }
};

int portFromReadyLine(const std::string &line) {
    const std::string marker = "cast-server ready port=";
    if (line.rfind(marker, 0) != 0) {
        return -1;
    }
    return std::stoi(line.substr(marker.size()));
}

TEST(CastServerProgram, HelpGoesToStandardOutput) {
    ServerProcess process({"--help"});
    const std::string help = process.readToEnd(ChildProcess::Stream::Output);
    EXPECT_EQ(process.wait(), 0);
    EXPECT_NE(help.find("Usage:"), std::string::npos);
    EXPECT_NE(help.find("--receiver CODE=IP:PORT:WIDTHxHEIGHT"), std::string::npos);
}

TEST(CastServerProgram, BadCommandLineExitsWithTwoAndSaysWhy) {
    ServerProcess process({"--port", "99999"});
    const std::string error = process.readToEnd(ChildProcess::Stream::Errors);
    EXPECT_EQ(process.wait(), 2);
    EXPECT_NE(error.find("--port expects 0 to 65535"), std::string::npos) << error;
    EXPECT_NE(error.find("--help"), std::string::npos) << error;
}

TEST(CastServerProgram, MissingFilesFolderExitsWithOne) {
    ServerProcess process({"--port", "0", "--files", "/nonexistent/cast-server-files"});
    const std::string error = process.readToEnd(ChildProcess::Stream::Errors);
    EXPECT_EQ(process.wait(), 1);
    EXPECT_NE(error.find("is not a folder"), std::string::npos) << error;
}

TEST(CastServerProgram, ServesOnAFreePortUntilTerminated) {
    ServerProcess process({"--port", "0", "--receiver", "AB12CD=127.0.0.1:7000:1920x1080"});
    const std::string ready = process.readLine(std::chrono::seconds(10));
    const int port = portFromReadyLine(ready);
    ASSERT_GT(port, 0) << ready;
    EXPECT_NE(ready.find(" base=http://127.0.0.1:" + std::to_string(port) + "/prod-api/"),
              std::string::npos)
        << ready;

    httplib::Client client("127.0.0.1", port);
    const auto reply = client.Get("/prod-api//send/pc/v1/heart?code=AB12CD&sign="
                                  "3bcb51cae0eda15df03ce141d81e9af1&timestamp=1700000000000");
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->body, R"({"code":200,"data":{},"msg":"success"})");

    // A second server cannot take the port while the first one holds it.
    ServerProcess second({"--port", std::to_string(port)});
    const std::string error = second.readToEnd(ChildProcess::Stream::Errors);
    EXPECT_EQ(second.wait(), 1);
    EXPECT_NE(error.find("cannot listen"), std::string::npos) << error;

    process.signal(SIGTERM);
    EXPECT_EQ(process.wait(), 0);
    // Without --log the request log goes to standard error.
    EXPECT_NE(process.readToEnd(ChildProcess::Stream::Errors).find("\"exchange\":\"heart\""),
              std::string::npos);
}

} // namespace
