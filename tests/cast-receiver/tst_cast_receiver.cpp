// cast-receiver as a process: a recorded stream in, stats.json out; its
// reactions and fault options; its errors for bad arguments and busy ports.
#include "link/message_framing.h"
#include "receiver_process.h"
#include "test_sockets.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

using namespace pixpipe;

namespace {

std::vector<uint8_t> message(int32_t type, const std::vector<uint8_t> &body, int32_t stamp = 0,
                             int32_t announcedLength = -1) {
    MessageHeader header;
    header.type = type;
    header.length = announcedLength >= 0 ? announcedLength : static_cast<int32_t>(body.size());
    header.stamp = stamp;
    std::vector<uint8_t> bytes(kHeaderSize);
    encodeHeader(header, bytes.data());
    bytes.insert(bytes.end(), body.begin(), body.end());
    return bytes;
}

std::vector<uint8_t> filled(size_t size, uint8_t seed) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(seed + i * 13);
    return bytes;
}

void append(std::vector<uint8_t> &to, const std::vector<uint8_t> &bytes) {
    to.insert(to.end(), bytes.begin(), bytes.end());
}

int32_t stampMsAgo(int64_t ms) {
    using namespace std::chrono;
    int64_t now = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    return static_cast<int32_t>(static_cast<uint32_t>(now - ms));
}

// Sends in small pieces, as a stream cut at arbitrary points would arrive.
bool sendInPieces(int fd, const std::vector<uint8_t> &bytes, size_t piece) {
    for (size_t offset = 0; offset < bytes.size(); offset += piece) {
        size_t size = std::min(piece, bytes.size() - offset);
        if (!sendAll(fd,
                     std::vector<uint8_t>(bytes.begin() + offset, bytes.begin() + offset + size)))
            return false;
    }
    return true;
}

// Reads until the peer closes or the time is up; the bytes read.
std::vector<uint8_t> readUntilClosed(int fd, std::chrono::milliseconds timeout, bool &closed) {
    std::vector<uint8_t> bytes;
    closed = false;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd descriptor{fd, POLLIN, 0};
        if (poll(&descriptor, 1, 20) <= 0)
            continue;
        uint8_t buffer[1024];
        ssize_t got = recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0) {
            closed = true;
            break;
        }
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    return bytes;
}

class CastReceiverProcess : public ::testing::Test {
protected:
    void SetUp() override {
        m_out = std::filesystem::temp_directory_path() /
                ("cast-receiver-test-" + std::to_string(getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(m_out);
    }
    void TearDown() override { std::filesystem::remove_all(m_out); }

    std::vector<std::string> arguments(std::vector<std::string> extra) {
        std::vector<std::string> all = {CAST_RECEIVER_PATH, "--port", "0", "--out", m_out.string()};
        all.insert(all.end(), extra.begin(), extra.end());
        return all;
    }
    nlohmann::json stats() {
        std::ifstream file(m_out / "stats.json");
        if (!file)
            return nullptr;
        return nlohmann::json::parse(file);
    }

    std::filesystem::path m_out;
};

} // namespace

TEST_F(CastReceiverProcess, RecordsAStreamWithAMessageCutShort) {
    ReceiverProcess receiver(arguments({}));
    ASSERT_TRUE(receiver.waitReady()) << receiver.errors();
    EXPECT_EQ(receiver.audioPort(), receiver.controlPort() + 1);

    int audio = connectLoopback(receiver.audioPort());
    int control = connectLoopback(receiver.controlPort());
    ASSERT_GE(audio, 0);
    ASSERT_GE(control, 0);

    std::vector<uint8_t> firstLink = message(MSG_START, {'R', 'E', 'C', '1', '2', '3'});
    std::vector<uint8_t> videoBodies;
    for (size_t size : {3000u, 0u, 700u}) {
        std::vector<uint8_t> body = filled(size, static_cast<uint8_t>(size));
        append(firstLink, message(MSG_VIDEO, body, stampMsAgo(40)));
        append(videoBodies, body);
    }
    // A message whose link is lost after 1000 of its 5000 body bytes.
    append(firstLink, message(MSG_VIDEO, filled(1000, 1), stampMsAgo(40), 5000));
    ASSERT_TRUE(sendInPieces(control, firstLink, 7));
    ASSERT_TRUE(sendAll(audio, message(MSG_AUDIO, filled(300, 9), stampMsAgo(40))));
    ASSERT_TRUE(sendAll(audio, message(MSG_AUDIO, filled(310, 8), stampMsAgo(40))));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    close(control);

    // The sender reconnects, resends the message whole, and stops.
    control = connectLoopback(receiver.controlPort());
    ASSERT_GE(control, 0);
    std::vector<uint8_t> body = filled(5000, 1);
    std::vector<uint8_t> secondLink = message(MSG_VIDEO, body, stampMsAgo(40));
    append(videoBodies, body);
    append(secondLink, message(MSG_STOP, {0, 0, 0, 0}));
    ASSERT_TRUE(sendInPieces(control, secondLink, 1000));
    bool closed = false;
    readUntilClosed(control, std::chrono::seconds(5), closed);
    EXPECT_TRUE(closed) << "the receiver answers the stop command by closing the link";
    close(control);
    close(audio);

    ASSERT_EQ(receiver.waitForExit(), 0) << receiver.errors();
    nlohmann::json s = stats();
    ASSERT_FALSE(s.is_null());
    EXPECT_EQ(s["start_code"], "REC123");
    EXPECT_EQ(s["stop_seen"], true);
    EXPECT_EQ(s["connections"]["control"], 2);
    EXPECT_EQ(s["connections"]["audio"], 1);
    EXPECT_EQ(s["video"]["messages"], 4);
    EXPECT_EQ(s["video"]["bytes"], 3000 + 0 + 700 + 5000);
    EXPECT_EQ(s["video"]["empty_messages"], 1);
    EXPECT_EQ(s["audio"]["messages"], 2);
    EXPECT_EQ(s["audio"]["bytes"], 610);
    EXPECT_EQ(s["framing_errors"], 0);
    ASSERT_EQ(s["cut_short"], 1);
    const auto &cut = s["cut_short_messages"][0];
    EXPECT_EQ(cut["link"], "control");
    EXPECT_EQ(cut["type"], MSG_VIDEO);
    EXPECT_EQ(cut["length"], 5000);
    EXPECT_EQ(cut["received_bytes"], 12 + 1000);
    // Stamped 40 ms before sending: the latency is at least that, and sane.
    EXPECT_GE(s["video"]["latency_ms"]["min"].get<int64_t>(), 40);
    EXPECT_LT(s["video"]["latency_ms"]["max"].get<int64_t>(), 5000);
    EXPECT_GE(s["audio"]["latency_ms"]["p50"].get<int64_t>(), 40);

    std::ifstream video(m_out / "video.h264", std::ios::binary);
    std::vector<uint8_t> written((std::istreambuf_iterator<char>(video)),
                                 std::istreambuf_iterator<char>());
    EXPECT_TRUE(written == videoBodies);
}

TEST_F(CastReceiverProcess, AFramingErrorIsCountedAndSigtermStillWritesStats) {
    ReceiverProcess receiver(arguments({}));
    ASSERT_TRUE(receiver.waitReady());
    int control = connectLoopback(receiver.controlPort());
    std::vector<uint8_t> stream = message(MSG_START, {'1'});
    append(stream, message(0x55, filled(20, 0)));
    ASSERT_TRUE(sendAll(control, stream));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    receiver.signal(SIGTERM);
    EXPECT_EQ(receiver.waitForExit(), 0);
    close(control);
    nlohmann::json s = stats();
    ASSERT_FALSE(s.is_null());
    EXPECT_EQ(s["start_code"], "1");
    EXPECT_EQ(s["framing_errors"], 1);
    EXPECT_EQ(s["unparsed_bytes"], 20);
    EXPECT_EQ(s["stop_seen"], false);
}

TEST_F(CastReceiverProcess, SendsTheQuitMessageAndEndsWhenTheLinksClose) {
    ReceiverProcess receiver(arguments({"--quit-after", "0.2"}));
    ASSERT_TRUE(receiver.waitReady());
    int control = connectLoopback(receiver.controlPort());
    ASSERT_TRUE(sendAll(control, message(MSG_START, {'Q'})));
    bool closed = false;
    std::vector<uint8_t> quit;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (quit.size() < kHeaderSize + 1 && !closed &&
           std::chrono::steady_clock::now() < deadline) {
        std::vector<uint8_t> more =
            readUntilClosed(control, std::chrono::milliseconds(100), closed);
        append(quit, more);
    }
    ASSERT_EQ(quit.size(), kHeaderSize + 1);
    MessageHeader header = decodeHeader(quit.data());
    EXPECT_EQ(header.type, MSG_QUIT);
    EXPECT_EQ(header.length, 1);
    close(control);
    EXPECT_EQ(receiver.waitForExit(), 0);
    EXPECT_EQ(stats()["quit_sent"], true);
}

TEST_F(CastReceiverProcess, FaultOptionsRefuseAudioDropLinksAndStaySilent) {
    ReceiverProcess receiver(
        arguments({"--refuse-audio", "--drop-after", "2", "--silent-after-stop"}));
    ASSERT_TRUE(receiver.waitReady());
    EXPECT_LT(connectLoopback(receiver.audioPort()), 0);

    int control = connectLoopback(receiver.controlPort());
    std::vector<uint8_t> stream = message(MSG_START, {'D'});
    append(stream, message(MSG_VIDEO, filled(10, 0)));
    ASSERT_TRUE(sendAll(control, stream));
    bool closed = false;
    readUntilClosed(control, std::chrono::seconds(5), closed);
    EXPECT_TRUE(closed) << "dropped after two messages";
    close(control);

    // Dropped once only: the next link stays, and stays silent after stop.
    control = connectLoopback(receiver.controlPort());
    stream = message(MSG_VIDEO, filled(10, 0));
    append(stream, message(MSG_VIDEO, filled(10, 0)));
    append(stream, message(MSG_STOP, {0, 0, 0, 0}));
    ASSERT_TRUE(sendAll(control, stream));
    std::vector<uint8_t> answer = readUntilClosed(control, std::chrono::milliseconds(500), closed);
    EXPECT_FALSE(closed);
    EXPECT_TRUE(answer.empty());
    close(control);
    EXPECT_EQ(receiver.waitForExit(), 0);
    nlohmann::json s = stats();
    EXPECT_EQ(s["video"]["messages"], 3);
    EXPECT_EQ(s["stop_seen"], true);
    EXPECT_EQ(s["connections"]["audio"], 0);
}

TEST_F(CastReceiverProcess, WithAWindowItServesCastAfterCastAndStillRecords) {
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "no display for the window";
    ReceiverProcess receiver(arguments({"--show", "--code", "ab12cd"}));
    ASSERT_TRUE(receiver.waitReady()) << receiver.errors();
    EXPECT_NE(receiver.output().find("cast code AB12CD"), std::string::npos);

    for (int cast = 0; cast < 2; ++cast) {
        int control = connectLoopback(receiver.controlPort());
        ASSERT_GE(control, 0);
        std::vector<uint8_t> stream = message(MSG_START, {'A', 'B', '1', '2', 'C', 'D'});
        append(stream, message(MSG_VIDEO, filled(900, 3)));
        append(stream, message(MSG_STOP, {0, 0, 0, 0}));
        ASSERT_TRUE(sendAll(control, stream));
        bool closed = false;
        readUntilClosed(control, std::chrono::seconds(5), closed);
        EXPECT_TRUE(closed);
        close(control);
    }
    // Still serving after two casts: it ends with its window or a signal.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    receiver.signal(SIGTERM);
    EXPECT_EQ(receiver.waitForExit(), 0) << receiver.errors();
    nlohmann::json s = stats();
    ASSERT_FALSE(s.is_null());
    EXPECT_EQ(s["start_code"], "AB12CD");
    EXPECT_EQ(s["video"]["messages"], 2);
    EXPECT_EQ(s["connections"]["control"], 2);
}

TEST_F(CastReceiverProcess, ABusyPortIsAClearError) {
    // A listening port whose lower neighbour is free, so that a receiver
    // given that neighbour fails on its audio port and nowhere else.
    using namespace pixpipe::testing;
    SocketHandle busy = kNoSocket;
    int port = 0;
    for (int attempt = 0; attempt < 100 && busy == kNoSocket; ++attempt) {
        SocketHandle candidate = bindTcp("127.0.0.1", 0, 0);
        ASSERT_NE(candidate, kNoSocket);
        ASSERT_TRUE(startListening(candidate));
        port = boundPort(candidate);
        SocketHandle neighbour =
            port > 1024 ? bindTcp("127.0.0.1", static_cast<uint16_t>(port - 1), 0) : kNoSocket;
        if (neighbour != kNoSocket) {
            closeSocket(neighbour);
            busy = candidate;
        } else {
            closeSocket(candidate);
        }
    }
    ASSERT_NE(busy, kNoSocket) << "no free pair of ports";

    ReceiverProcess onControl(
        {CAST_RECEIVER_PATH, "--port", std::to_string(port), "--out", m_out.string()});
    EXPECT_EQ(onControl.waitForExit(), 1);
    EXPECT_NE(onControl.errors().find("cannot listen on 127.0.0.1:" + std::to_string(port) +
                                      ": Address already in use"),
              std::string::npos)
        << onControl.errors();

    ReceiverProcess onAudio(
        {CAST_RECEIVER_PATH, "--port", std::to_string(port - 1), "--out", m_out.string()});
    EXPECT_EQ(onAudio.waitForExit(), 1);
    EXPECT_NE(onAudio.errors().find(std::to_string(port) + " (audio)"), std::string::npos)
        << onAudio.errors();
    closeSocket(busy);
}

TEST_F(CastReceiverProcess, BadArgumentsAreRefusedAndHelpIsShown) {
    struct Case {
        std::vector<std::string> arguments;
        const char *error;
    } cases[] = {
        {{"--port", "65535"}, "bad port '65535'"},
        {{"--port", "12x"}, "bad port '12x'"},
        {{"--bind", "localhost"}, "bad bind address 'localhost'"},
        {{"--quit-after", "-1"}, "bad --quit-after '-1'"},
        {{"--drop-after", "0"}, "bad --drop-after '0'"},
        {{"--code", "AB12C"}, "bad --code 'AB12C'"},
        {{"--code", "AB12C!"}, "bad --code 'AB12C!'"},
        {{"--out"}, "option --out needs a value"},
        {{"--verbose"}, "unknown option '--verbose'"},
    };
    for (const Case &c : cases) {
        std::vector<std::string> all = {CAST_RECEIVER_PATH};
        all.insert(all.end(), c.arguments.begin(), c.arguments.end());
        ReceiverProcess receiver(all);
        EXPECT_EQ(receiver.waitForExit(), 2) << c.error;
        EXPECT_NE(receiver.errors().find(c.error), std::string::npos) << receiver.errors();
    }
    ReceiverProcess help({CAST_RECEIVER_PATH, "--help"});
    EXPECT_EQ(help.waitForExit(), 0);
    EXPECT_NE(help.output().find("Usage: cast-receiver"), std::string::npos);
}
