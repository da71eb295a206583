#include "options.h"

#include <gtest/gtest.h>

using namespace cast_server;

TEST(Options, FullCommandLine) {
    const ParseResult result = parseOptions({"--host",
                                             "0.0.0.0",
                                             "--port=0",
                                             "--receiver",
                                             "AB12CD=192.168.1.20:7000:1920x1080",
                                             "--receiver",
                                             "ZZ9999=10.0.0.2:9000:0x0",
                                             "--refuse",
                                             "connect:500:设备:忙",
                                             "--delay",
                                             "250",
                                             "--delay",
                                             "heart:6000",
                                             "--files",
                                             "/tmp",
                                             "--log",
                                             "/tmp/log.jsonl",
                                             "--upgrade-version",
                                             "2.1.0",
                                             "--upgrade-url",
                                             "http://h/dl/setup.exe?x=1",
                                             "--upgrade-type",
                                             "1"});
    ASSERT_EQ(result.error, "");
    ASSERT_FALSE(result.help);
    const ServerOptions &options = result.options;
    EXPECT_EQ(options.host, "0.0.0.0");
    EXPECT_EQ(options.port, 0);
    ASSERT_EQ(options.receivers.size(), 2u);
    const Receiver &receiver = options.receivers.at("AB12CD");
    EXPECT_EQ(receiver.ip, "192.168.1.20");
    EXPECT_EQ(receiver.port, 7000);
    EXPECT_EQ(receiver.width, 1920);
    EXPECT_EQ(receiver.height, 1080);
    EXPECT_EQ(options.receivers.at("ZZ9999").width, 0);

    ASSERT_EQ(options.refusals.size(), 1u);
    EXPECT_EQ(options.refusals.at(Exchange::Connect).code, 500);
    EXPECT_EQ(options.refusals.at(Exchange::Connect).msg, "设备:忙"); // colons kept in the text

    // A later, narrower delay overrides the one for every exchange.
    EXPECT_EQ(options.delaysMs.at(Exchange::Heart), 6000);
    EXPECT_EQ(options.delaysMs.at(Exchange::Connect), 250);
    EXPECT_EQ(options.delaysMs.size(), 5u);

    ASSERT_TRUE(options.upgrade.has_value());
    EXPECT_EQ(options.upgrade->version, "2.1.0");
    EXPECT_EQ(options.upgrade->name, "setup.exe"); // last segment of the URL
    EXPECT_EQ(options.upgrade->type, 1);
    EXPECT_EQ(options.filesDir, "/tmp");
    EXPECT_EQ(options.logPath, "/tmp/log.jsonl");
}

TEST(Options, DefaultsAndHelp) {
    const ParseResult empty = parseOptions({});
    EXPECT_EQ(empty.error, "");
    EXPECT_EQ(empty.options.host, "127.0.0.1");
    EXPECT_EQ(empty.options.port, 8080);
    EXPECT_FALSE(empty.options.upgrade.has_value());

    EXPECT_TRUE(parseOptions({"--port", "0", "-h"}).help);
    const std::string help = helpText("cast-server");
    for (const char *option : {"--receiver", "--refuse", "--delay", "--upgrade-version",
                               "--upgrade-url", "--upgrade-name", "--upgrade-type", "--files",
                               "/files-nolength/", "/files-cut/", "--log", "ready port="}) {
        EXPECT_NE(help.find(option), std::string::npos) << option;
    }
}

TEST(Options, RefusalForAllExchangesAndUpgradeServedFromFiles) {
    const ParseResult result = parseOptions({"--refuse", "all:1001:no", "--files", "/srv",
                                             "--upgrade-version", "3", "--upgrade-name", "p.exe"});
    ASSERT_EQ(result.error, "");
    EXPECT_EQ(result.options.refusals.size(), 5u);
    ASSERT_TRUE(result.options.upgrade.has_value());
    EXPECT_EQ(result.options.upgrade->url, ""); // filled in by the server once bound
}

TEST(Options, UnusableCommandLinesAreRefusedWithTheReason) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--bogus"}, "unknown option"},
        {{"--port"}, "--port needs a value"},
        {{"--port", "65536"}, "--port"},
        {{"--port", "12ab"}, "--port"},
        {{"--host", "localhost"}, "--host"},
        {{"--receiver", "AB12CD"}, "--receiver"},
        {{"--receiver", "=1.2.3.4:80:1x1"}, "--receiver"},
        {{"--receiver", "AB=1.2.3:80:1x1"}, "--receiver"},
        {{"--receiver", "AB=1.2.3.4:0:1x1"}, "--receiver"},
        {{"--receiver", "AB=1.2.3.4:80:1920"}, "--receiver"},
        {{"--refuse", "connect:200:fine"}, "--refuse"},
        {{"--refuse", "pairing:500:x"}, "--refuse"},
        {{"--refuse", "connect:500"}, "--refuse"},
        {{"--delay", "-5"}, "--delay"},
        {{"--delay", "heart:soon"}, "--delay"},
        {{"--upgrade-type", "1"}, "need --upgrade-version"},
        {{"--upgrade-version", "2"}, "--upgrade-version needs"},
        {{"--upgrade-version", "2", "--files", "/srv"}, "--upgrade-version needs"},
        {{"--connect-data", "{\"width\":"}, "--connect-data"},
        {{"--pad", "52428800"}, "--pad"},
        {{"--pad", "connect:-1"}, "--pad"},
    };
    for (const auto &[args, reason] : cases) {
        const ParseResult result = parseOptions(args);
        EXPECT_NE(result.error.find(reason), std::string::npos)
            << args.front() << ": \"" << result.error << "\"";
    }
}
