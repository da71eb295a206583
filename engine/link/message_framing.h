// The wire format shared by both receiver links and both directions: a 12-byte
// header of three little-endian 32-bit fields (type, length, stamp) followed
// by `length` body bytes. The engine and the test receiver both use this code,
// so the protocol is written down once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pixpipe {

enum MessageType : int32_t {
    MSG_START = 1, // sender -> receiver: the cast code
    MSG_STOP = 2,  // sender -> receiver: four body bytes
    MSG_QUIT = 3,  // receiver -> sender: the receiver ended the cast
    MSG_AUDIO = 8, // sender -> receiver: one AAC packet
    MSG_VIDEO = 9, // sender -> receiver: one H.264 packet
};

struct MessageHeader {
    int32_t type = 0;
    int32_t length = 0;
    int32_t stamp = 0;
};

constexpr size_t kHeaderSize = 12;
constexpr size_t kStopBodySize = 4;
constexpr size_t kStopCommandSize = kHeaderSize + kStopBodySize;
// The longest cast code that fits the start command.
constexpr size_t kMaxCastCodeBytes = 16;
// Highest type byte and largest body the sender accepts from the receiver.
constexpr uint8_t kMaxReceivedType = 9;
constexpr int32_t kMaxReceivedLength = 0xA00000;

void putUint32Le(uint8_t *out, uint32_t value);
uint32_t getUint32Le(const uint8_t *in);

void encodeHeader(const MessageHeader &header, uint8_t out[kHeaderSize]);
MessageHeader decodeHeader(const uint8_t in[kHeaderSize]);

// MSG_START: header with length n and stamp 0, then the n code bytes without
// terminator. Empty when the code is longer than kMaxCastCodeBytes.
std::vector<uint8_t> buildStartCommand(const char *code, size_t codeLength);

// MSG_STOP: header with length 4 and stamp 0, then four zero bytes.
void buildStopCommand(uint8_t out[kStopCommandSize]);

// Reassembles messages from a byte stream that arrives in arbitrary pieces.
// Used by the receiver side, which must cope with headers and bodies split
// across reads and with connections lost in the middle of a message.
class MessageAssembler {
public:
    struct Message {
        MessageHeader header;
        std::vector<uint8_t> body;
    };

    // Whether a header may start a message; a header that fails it is a
    // framing error and the stream cannot be read further.
    using HeaderCheck = bool (*)(const MessageHeader &header);

    explicit MessageAssembler(HeaderCheck check) : m_check(check) {}

    // Appends bytes; complete messages are moved into `out`. Returns false
    // once a header failed the check (the assembler then ignores all input).
    bool feed(const uint8_t *data, size_t size, std::vector<Message> &out);

    bool framingError() const { return m_framingError; }
    // Bytes fed after the bad header of a framing error, which were not read.
    uint64_t ignoredBytes() const { return m_ignoredBytes; }
    // True when a header or body has started but not finished: at the end of
    // the stream this message was cut short.
    bool inMessage() const { return !m_framingError && (m_headerFill > 0 || m_inBody); }
    // The header of the unfinished message (valid when a body is pending).
    const MessageHeader &pendingHeader() const { return m_current.header; }
    bool pendingBody() const { return m_inBody; }
    size_t pendingBytes() const {
        return m_inBody ? kHeaderSize + m_current.body.size() : m_headerFill;
    }

private:
    HeaderCheck m_check;
    uint8_t m_headerBytes[kHeaderSize] = {};
    size_t m_headerFill = 0;
    bool m_inBody = false;
    bool m_framingError = false;
    uint64_t m_ignoredBytes = 0;
    Message m_current;
};

} // namespace pixpipe
