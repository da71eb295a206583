// The libavcodec side shared by the picture and sound decoders: an opened
// decoder, and one packet in, every completed frame out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace receiver {

std::string avErrorText(int code);

class AvDecoder {
public:
    // configure may set up the context before it is opened.
    AvDecoder(AVCodecID codec, const char *name,
              const std::function<void(AVCodecContext *)> &configure = {});
    ~AvDecoder();
    AvDecoder(const AvDecoder &) = delete;
    AvDecoder &operator=(const AvDecoder &) = delete;

    bool ok() const { return m_context != nullptr; }
    // Why the decoder could not be opened.
    const std::string &openError() const { return m_openError; }

    // Decodes one packet (the bytes stay the caller's) and hands each frame it
    // completes to take, which returns false to stop. False with error set
    // when the packet is broken or decoding fails.
    bool decode(const uint8_t *data, size_t size, const std::function<bool(AVFrame *)> &take,
                std::string &error);

    // Forgets what earlier packets left behind: a new stream starts.
    void restart();

private:
    const char *m_name;
    AVCodecContext *m_context = nullptr;
    AVFrame *m_frame = nullptr;
    AVPacket *m_packet = nullptr;
    std::string m_openError;
};

} // namespace receiver
