#include "link/message_framing.h"

#include <algorithm>
#include <cstring>

namespace pixpipe {

void putUint32Le(uint8_t *out, uint32_t value) {
    out[0] = static_cast<uint8_t>(value);
    out[1] = static_cast<uint8_t>(value >> 8);
    out[2] = static_cast<uint8_t>(value >> 16);
    out[3] = static_cast<uint8_t>(value >> 24);
}

uint32_t getUint32Le(const uint8_t *in) {
    return static_cast<uint32_t>(in[0]) | static_cast<uint32_t>(in[1]) << 8 |
           static_cast<uint32_t>(in[2]) << 16 | static_cast<uint32_t>(in[3]) << 24;
}

void encodeHeader(const MessageHeader &header, uint8_t out[kHeaderSize]) {
    putUint32Le(out, static_cast<uint32_t>(header.type));
    putUint32Le(out + 4, static_cast<uint32_t>(header.length));
    putUint32Le(out + 8, static_cast<uint32_t>(header.stamp));
}

MessageHeader decodeHeader(const uint8_t in[kHeaderSize]) {
    MessageHeader header;
    header.type = static_cast<int32_t>(getUint32Le(in));
    header.length = static_cast<int32_t>(getUint32Le(in + 4));
    header.stamp = static_cast<int32_t>(getUint32Le(in + 8));
    return header;
}

std::vector<uint8_t> buildStartCommand(const char *code, size_t codeLength) {
    if (codeLength > kMaxCastCodeBytes)
        return {};
    std::vector<uint8_t> command(kHeaderSize + codeLength);
    MessageHeader header;
    header.type = MSG_START;
    header.length = static_cast<int32_t>(codeLength);
    encodeHeader(header, command.data());
    std::memcpy(command.data() + kHeaderSize, code, codeLength);
    return command;
}

void buildStopCommand(uint8_t out[kStopCommandSize]) {
    MessageHeader header;
    header.type = MSG_STOP;
    header.length = static_cast<int32_t>(kStopBodySize);
    encodeHeader(header, out);
    std::memset(out + kHeaderSize, 0, kStopBodySize);
}

bool MessageAssembler::feed(const uint8_t *data, size_t size, std::vector<Message> &out) {
    while (size > 0 && !m_framingError) {
        if (!m_inBody) {
            size_t take = std::min(size, kHeaderSize - m_headerFill);
            std::memcpy(m_headerBytes + m_headerFill, data, take);
            m_headerFill += take;
            data += take;
            size -= take;
            if (m_headerFill < kHeaderSize)
                break;
            m_current.header = decodeHeader(m_headerBytes);
            m_current.body.clear();
            m_headerFill = 0;
            if (!m_check(m_current.header)) {
                m_framingError = true;
                m_current = Message();
                break;
            }
            m_inBody = true;
        }
        size_t wanted = static_cast<size_t>(m_current.header.length) - m_current.body.size();
        size_t take = std::min(size, wanted);
        m_current.body.insert(m_current.body.end(), data, data + take);
        data += take;
        size -= take;
        if (m_current.body.size() == static_cast<size_t>(m_current.header.length)) {
            out.push_back(std::move(m_current));
            m_current = Message();
            m_inBody = false;
        }
    }
    if (m_framingError)
        m_ignoredBytes += size;
    return !m_framingError;
}

} // namespace pixpipe
