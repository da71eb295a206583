// Reading the receiver's messages: recvMessage's results on a local socket
// pair, and the receive thread's rules in running casts.
#include "engine_test_helpers.h"
#include "lifecycle/cast_context.h"
#include "link/receiver_link.h"
#include "log_capture.h"
#include "test_sockets.h"

#include <gtest/gtest.h>

#include <thread>

using namespace pixpipe;
using namespace pixpipe::testing;

namespace {

// A cast context whose control link is one end of a local socket pair.
class LinkedCast : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(connectedPair(m_pair));
        m_cast.m_nsock.store(m_pair[0]);
    }
    void TearDown() override {
        closeSocket(m_pair[0]);
        closeSocket(m_pair[1]);
    }
    void peerSends(const std::vector<uint8_t> &bytes) {
        ASSERT_EQ(sendSome(m_pair[1], bytes.data(), bytes.size()), static_cast<int>(bytes.size()));
    }
    int receive() { return recvMessage(&m_cast, &m_header, &m_body); }

    SocketHandle m_pair[2] = {kNoSocket, kNoSocket};
    CastContext m_cast;
    MessageHeader m_header;
    std::vector<uint8_t> m_body;
};

std::vector<uint8_t> withBody(std::vector<uint8_t> header, const std::vector<uint8_t> &body) {
    header.insert(header.end(), body.begin(), body.end());
    return header;
}

} // namespace

TEST_F(LinkedCast, AMessageComesWithItsHeaderAndBody) {
    peerSends(withBody(headerBytes(MSG_QUIT, 3, 77), {7, 8, 9}));
    EXPECT_EQ(receive(), 3);
    EXPECT_EQ(m_header.type, MSG_QUIT);
    EXPECT_EQ(m_header.length, 3);
    EXPECT_EQ(m_header.stamp, 77);
    EXPECT_EQ(m_body, (std::vector<uint8_t>{7, 8, 9}));
    EXPECT_EQ(recvMessage(&m_cast, nullptr, &m_body), -1);
}

TEST_F(LinkedCast, AHeaderInPiecesOfFiveThreeAndFourIsOneHeader) {
    std::vector<uint8_t> message = withBody(headerBytes(5, 2, 0), {1, 2});
    std::thread peer([&] {
        size_t pieces[] = {5, 3, 4};
        size_t offset = 0;
        for (size_t piece : pieces) {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            ASSERT_EQ(sendSome(m_pair[1], message.data() + offset, piece), static_cast<int>(piece));
            offset += piece;
        }
        sendSome(m_pair[1], message.data() + offset, message.size() - offset);
    });
    EXPECT_EQ(receive(), 2);
    peer.join();
    EXPECT_EQ(m_header.type, 5);
    EXPECT_EQ(m_body, (std::vector<uint8_t>{1, 2}));
}

TEST_F(LinkedCast, HeadersThatBreakALimitAreFailedReads) {
    struct Case {
        int32_t type;
        int32_t length;
        int expected;
    } cases[] = {
        {0, 1, -2},        // type byte 0
        {10, 1, -2},       // type byte above 9
        {3, 0, -2},        // empty body
        {3, 0xA00001, -2}, // above 10 MiB
        {3, -2, -2},       // the connection-failed value
        {3, -7, -1},       // any other negative length
    };
    for (const Case &c : cases) {
        peerSends(headerBytes(c.type, c.length, 0));
        m_body = {1};
        EXPECT_EQ(receive(), c.expected) << "type " << c.type << " length " << c.length;
        EXPECT_TRUE(m_body.empty());
    }
    // Each bad header took exactly its 12 bytes: the next message reads well.
    peerSends(withBody(headerBytes(4, 1, 0), {42}));
    EXPECT_EQ(receive(), 1);
}

TEST_F(LinkedCast, AClosedLinkAndAStopWhileReadingEndTheRead) {
    peerSends({3, 0, 0, 0, 1});
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        m_cast.m_running.store(0);
        peerSends({0, 0, 0}); // wakes the read; the header is still short
    });
    EXPECT_EQ(receive(), -1);
    stopper.join();

    m_cast.m_running.store(1);
    shutdownSending(m_pair[1]);
    EXPECT_EQ(receive(), -2);
}

namespace {

// A cast against a fake receiver with a callback registered.
class ReceiveThread : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(startCastTo(m_receiver), 1);
        ASSERT_EQ(setCallback(m_recorder.userData(), CallbackRecorder::callback), 0);
        ASSERT_TRUE(m_receiver.waitForMessages(Link::Control, 1));
    }
    void TearDown() override { stopCapture(); }

    FakeReceiver m_receiver;
    CallbackRecorder m_recorder;
};

bool bothLinksClosed(FakeReceiver &receiver) {
    auto control = receiver.connections(Link::Control);
    auto audio = receiver.connections(Link::Audio);
    return !control.empty() && control.back().closed && !audio.empty() && audio.back().closed;
}

} // namespace

TEST_F(ReceiveThread, TheQuitMessageEndsTheCastWithCodeZero) {
    LogCapture log;
    ASSERT_TRUE(m_receiver.sendMessage(Link::Control, MSG_QUIT, {1}));
    ASSERT_TRUE(m_recorder.waitForCount(1));
    EXPECT_EQ(m_recorder.codes(), std::vector<int>{0});
    EXPECT_TRUE(m_receiver.waitUntil(bothLinksClosed, std::chrono::seconds(10)));
    EXPECT_EQ(stopCapture(), 0);
    EXPECT_EQ(log.countLines("recv thread is exit"), 1);
    EXPECT_FALSE(log.contains("send stop cmd"));
    EXPECT_FALSE(log.contains("socket is error"));
    EXPECT_EQ(m_recorder.codes(), std::vector<int>{0});
}

TEST_F(ReceiveThread, FiveFailedReadsInARowEndTheCast) {
    LogCapture log;
    std::vector<uint8_t> bad;
    for (auto header : {headerBytes(0, 1, 0), headerBytes(10, 1, 0), headerBytes(3, 0, 0),
                        headerBytes(3, 0xA00001, 0), headerBytes(3, -2, 0)})
        bad.insert(bad.end(), header.begin(), header.end());
    ASSERT_TRUE(m_receiver.sendRaw(Link::Control, bad));
    ASSERT_TRUE(m_recorder.waitForCount(1, std::chrono::seconds(20)));
    EXPECT_EQ(m_recorder.codes(), std::vector<int>{-1});
    // The engine closes both links by itself, without waiting for the host.
    EXPECT_TRUE(m_receiver.waitUntil(bothLinksClosed, std::chrono::seconds(10)));
    EXPECT_EQ(stopCapture(), 0);
    for (int count = 1; count <= 5; ++count)
        EXPECT_EQ(log.countLines("socket is error recvMsgCount = " + std::to_string(count)), 1);
    EXPECT_EQ(log.countLines("recv thread is exit"), 1);
}

TEST_F(ReceiveThread, AGoodMessageBetweenFailedReadsStartsTheCountAgain) {
    LogCapture log;
    std::vector<uint8_t> stream;
    auto addBad = [&stream] {
        for (int i = 0; i < 4; ++i) {
            std::vector<uint8_t> header = headerBytes(3, 0, 0);
            stream.insert(stream.end(), header.begin(), header.end());
        }
    };
    addBad();
    std::vector<uint8_t> good = withBody(headerBytes(5, 1, 0), {1});
    stream.insert(stream.end(), good.begin(), good.end());
    addBad();
    ASSERT_TRUE(m_receiver.sendRaw(Link::Control, stream));
    ASSERT_TRUE(m_receiver.waitUntil(
        [&log](FakeReceiver &) { return log.countLines("socket is error recvMsgCount = 4") == 2; },
        std::chrono::seconds(30)));
    // Past the fourth pause the thread reads again and must still be waiting.
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    EXPECT_EQ(log.countLines("socket is error recvMsgCount = 5"), 0);
    EXPECT_TRUE(m_recorder.codes().empty());
    EXPECT_EQ(stopCapture(), 0);
    EXPECT_EQ(log.countLines("StopCast ret = 0"), 1);
}
