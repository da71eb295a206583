// The wire format shared by the engine and the test receiver.
#include "link/message_framing.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace pixpipe;

TEST(MessageFraming, StartCommandForASixDigitCodeIsEighteenBytes) {
    std::vector<uint8_t> command = buildStartCommand("482913", 6);
    std::vector<uint8_t> expected = {1, 0, 0, 0,   6,   0,   0,   0,   0,
                                     0, 0, 0, '4', '8', '2', '9', '1', '3'};
    EXPECT_EQ(command, expected);
}

TEST(MessageFraming, StartCommandTakesCodesUpToSixteenBytesOnly) {
    const char *code = "ABCDEFGHIJKLMNOPQ";
    EXPECT_EQ(buildStartCommand(code, 16).size(), kHeaderSize + 16);
    EXPECT_TRUE(buildStartCommand(code, 17).empty());
}

TEST(MessageFraming, StopCommandIsSixteenFixedBytes) {
    uint8_t command[kStopCommandSize];
    std::memset(command, 0xEE, sizeof command);
    buildStopCommand(command);
    const uint8_t expected[kStopCommandSize] = {2, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(0, std::memcmp(command, expected, sizeof command));
}

TEST(MessageFraming, HeaderFieldsAreLittleEndianAndRoundTrip) {
    MessageHeader header;
    header.type = MSG_VIDEO;
    header.length = 0x01020304;
    header.stamp = static_cast<int32_t>(0xF1E2D3C4u);
    uint8_t bytes[kHeaderSize];
    encodeHeader(header, bytes);
    const uint8_t expected[kHeaderSize] = {9, 0, 0, 0, 4, 3, 2, 1, 0xC4, 0xD3, 0xE2, 0xF1};
    EXPECT_EQ(0, std::memcmp(bytes, expected, kHeaderSize));
    MessageHeader decoded = decodeHeader(bytes);
    EXPECT_EQ(decoded.type, header.type);
    EXPECT_EQ(decoded.length, header.length);
    EXPECT_EQ(decoded.stamp, header.stamp);
}

namespace {

bool typesOneToNine(const MessageHeader &header) {
    return header.type >= 1 && header.type <= 9 && header.length >= 0;
}

std::vector<uint8_t> message(int32_t type, const std::vector<uint8_t> &body) {
    MessageHeader header;
    header.type = type;
    header.length = static_cast<int32_t>(body.size());
    std::vector<uint8_t> bytes(kHeaderSize);
    encodeHeader(header, bytes.data());
    bytes.insert(bytes.end(), body.begin(), body.end());
    return bytes;
}

} // namespace

TEST(MessageAssembler, ReassemblesMessagesSplitAtEveryByte) {
    std::vector<uint8_t> stream = message(MSG_VIDEO, {1, 2, 3, 4, 5});
    std::vector<uint8_t> second = message(MSG_AUDIO, {});
    std::vector<uint8_t> third = message(MSG_AUDIO, {9});
    stream.insert(stream.end(), second.begin(), second.end());
    stream.insert(stream.end(), third.begin(), third.end());

    MessageAssembler assembler(typesOneToNine);
    std::vector<MessageAssembler::Message> out;
    for (uint8_t byte : stream)
        ASSERT_TRUE(assembler.feed(&byte, 1, out));
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0].header.type, MSG_VIDEO);
    EXPECT_EQ(out[0].body, (std::vector<uint8_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(out[1].header.length, 0);
    EXPECT_TRUE(out[1].body.empty());
    EXPECT_EQ(out[2].body, std::vector<uint8_t>{9});
    EXPECT_FALSE(assembler.inMessage());
}

TEST(MessageAssembler, TellsAMessageCutShortAndAFramingError) {
    std::vector<uint8_t> stream = message(MSG_VIDEO, {1, 2, 3, 4, 5});
    MessageAssembler assembler(typesOneToNine);
    std::vector<MessageAssembler::Message> out;
    assembler.feed(stream.data(), 5, out);
    EXPECT_TRUE(assembler.inMessage());
    EXPECT_FALSE(assembler.pendingBody());
    assembler.feed(stream.data() + 5, 9, out);
    EXPECT_TRUE(assembler.pendingBody());
    EXPECT_EQ(assembler.pendingHeader().length, 5);
    EXPECT_EQ(assembler.pendingBytes(), 14u);
    EXPECT_TRUE(out.empty());

    MessageAssembler broken(typesOneToNine);
    std::vector<uint8_t> bad = message(12, {1});
    EXPECT_FALSE(broken.feed(bad.data(), bad.size(), out));
    EXPECT_TRUE(broken.framingError());
    EXPECT_EQ(broken.ignoredBytes(), 1u);
    EXPECT_FALSE(broken.inMessage());
    EXPECT_TRUE(out.empty());
}
