// stream-probe: the receiving end of a benchmark segment. It listens on
// loopback, takes one sender's video and audio, decodes every video picture
// as soon as it is complete and reads the painted clock back from it (see
// picture_clock.h). Prints its listening ports on the first line and, when
// the sender has gone, one JSON line with what it measured.
//
//   stream-probe pixpipe   the engine's links: control port P (video messages),
//                          audio port P + 1 (audio messages)
//   stream-probe ffmpeg    the FFmpeg command line's outputs: H.264 in NUT on
//                          the video port (each packet carries its size, so a
//                          picture is handed over the moment its last byte
//                          arrives), ADTS audio on the audio port
#include "link/message_framing.h"
#include "listen_socket.h"
#include "picture_clock.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

namespace {

constexpr auto kWarmup = std::chrono::milliseconds(2000);
constexpr int kAcceptTimeoutMs = 30000;
// After the video ends, the audio stream gets this long to end too.
constexpr int kAudioDrainMs = 3000;

// A loopback listener on port (0: any free port); -1 with errno set on failure.
int listenOn(uint16_t port) {
    const int fd = receiver::bindListener("127.0.0.1", port);
    if (fd < 0 || listen(fd, 1) == 0)
        return fd;
    const int error = errno;
    close(fd);
    errno = error;
    return -1;
}

// Waits for one connection and closes the listener; -1 on time-out.
int acceptOne(int listener, int timeoutMs) {
    pollfd waiting{listener, POLLIN, 0};
    const int fd = poll(&waiting, 1, timeoutMs) == 1 ? accept(listener, nullptr, nullptr) : -1;
    close(listener);
    return fd;
}

// Reads until the peer closes or stop is set; each read goes to consume.
template <typename Consume>
void readUntilClosed(int fd, const std::atomic<bool> &stop, Consume consume) {
    uint8_t buffer[65536];
    while (!stop) {
        pollfd readable{fd, POLLIN, 0};
        if (poll(&readable, 1, 100) == 0)
            continue;
        const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0 && !(got < 0 && errno == EINTR))
            return;
        if (got > 0 && !consume(buffer, static_cast<size_t>(got)))
            return;
    }
}

bool anyHeader(const pixpipe::MessageHeader &header) {
    return header.length >= 0 && header.length <= pixpipe::kMaxReceivedLength;
}

// The audio link of either sender, in a thread of its own: counts the audio
// bytes (message bodies from the engine, the ADTS stream from FFmpeg).
class AudioDrain {
public:
    AudioDrain(int listener, bool framed, bench::PictureClock &clock)
        : m_thread([this, listener, framed, &clock] { run(listener, framed, clock); }) {}
    ~AudioDrain() { m_thread.join(); }
    // Lets the drain end within a bounded time once the video is over.
    void finish() {
        for (int waited = 0; !m_done && waited < kAudioDrainMs; waited += 50)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        m_stop = true;
    }

private:
    void run(int listener, bool framed, bench::PictureClock &clock) {
        const int fd = acceptOne(listener, kAcceptTimeoutMs);
        pixpipe::MessageAssembler assembler(anyHeader);
        std::vector<pixpipe::MessageAssembler::Message> messages;
        if (fd >= 0) {
            readUntilClosed(fd, m_stop, [&](const uint8_t *data, size_t size) {
                if (!framed) {
                    clock.addAudioBytes(static_cast<int64_t>(size));
                    return true;
                }
                messages.clear();
                const bool ok = assembler.feed(data, size, messages);
                for (const auto &message : messages) {
                    if (message.header.type == pixpipe::MSG_AUDIO)
                        clock.addAudioBytes(static_cast<int64_t>(message.body.size()));
                }
                return ok;
            });
            close(fd);
        }
        m_done = true;
    }

    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_done{false};
    std::thread m_thread;
};

// The engine's control link: video messages until the stop command or EOF.
void receiveEngineVideo(int fd, bench::PictureClock &clock) {
    const std::atomic<bool> never{false};
    pixpipe::MessageAssembler assembler(anyHeader);
    std::vector<pixpipe::MessageAssembler::Message> messages;
    readUntilClosed(fd, never, [&](const uint8_t *data, size_t size) {
        messages.clear();
        const bool ok = assembler.feed(data, size, messages);
        for (const auto &message : messages) {
            if (message.header.type == pixpipe::MSG_STOP)
                return false;
            if (message.header.type == pixpipe::MSG_VIDEO)
                clock.addPacket(message.body.data(), static_cast<int>(message.body.size()));
        }
        return ok;
    });
}

int readSocket(void *opaque, uint8_t *buffer, int size) {
    const int fd = *static_cast<int *>(opaque);
    ssize_t got;
    do {
        got = recv(fd, buffer, static_cast<size_t>(size), 0);
    } while (got < 0 && errno == EINTR);
    if (got == 0)
        return AVERROR_EOF;
    return got < 0 ? AVERROR(errno) : static_cast<int>(got);
}

// FFmpeg's video output: NUT read straight from the socket, no probing.
bool receiveFfmpegVideo(int fd, bench::PictureClock &clock) {
    constexpr int kBufferSize = 65536;
    auto *buffer = static_cast<uint8_t *>(av_malloc(kBufferSize));
    AVIOContext *io =
        buffer ? avio_alloc_context(buffer, kBufferSize, 0, &fd, readSocket, nullptr, nullptr)
               : nullptr;
    AVFormatContext *input = avformat_alloc_context();
    if (!io || !input) {
        av_free(buffer);
        avio_context_free(&io);
        avformat_free_context(input);
        return false;
    }
    input->pb = io;
    input->flags |= AVFMT_FLAG_CUSTOM_IO | AVFMT_FLAG_NOBUFFER;
    bool ok = avformat_open_input(&input, nullptr, av_find_input_format("nut"), nullptr) == 0 &&
              input->nb_streams > 0 && clock.open(input->streams[0]->codecpar);
    if (ok) {
        AVPacket *packet = av_packet_alloc();
        while (packet && av_read_frame(input, packet) >= 0) {
            if (packet->stream_index == 0)
                clock.addPacket(packet->data, packet->size);
            av_packet_unref(packet);
        }
        av_packet_free(&packet);
    }
    avformat_close_input(&input);
    if (io)
        av_freep(&io->buffer);
    avio_context_free(&io);
    return ok;
}

} // namespace

int main(int argc, char **argv) {
    const std::string mode = argc == 2 ? argv[1] : "";
    if (mode != "pixpipe" && mode != "ffmpeg") {
        std::fprintf(stderr, "Usage: stream-probe pixpipe|ffmpeg\n");
        return 2;
    }
    av_log_set_level(AV_LOG_ERROR);
    const bool engine = mode == "pixpipe";

    int videoListener = -1;
    int audioListener = -1;
    // The engine's audio port is the control port plus one.
    for (int attempt = 0; attempt < 20 && audioListener < 0; ++attempt) {
        if (videoListener >= 0)
            close(videoListener);
        videoListener = listenOn(0);
        if (videoListener >= 0)
            audioListener = listenOn(engine ? receiver::boundPort(videoListener) + 1 : 0);
    }
    if (audioListener < 0) {
        std::fprintf(stderr, "stream-probe: cannot listen on loopback: %s\n", std::strerror(errno));
        return 1;
    }
    std::printf("listening video=%u audio=%u\n", receiver::boundPort(videoListener),
                receiver::boundPort(audioListener));
    std::fflush(stdout);

    bench::PictureClock clock(kWarmup);
    bool ok = true;
    {
        AudioDrain audio(audioListener, engine, clock);
        const int videoFd = acceptOne(videoListener, kAcceptTimeoutMs);
        if (videoFd < 0) {
            std::fprintf(stderr, "stream-probe: no video connection\n");
            ok = false;
        } else if (engine) {
            ok = clock.open(nullptr);
            if (ok)
                receiveEngineVideo(videoFd, clock);
        } else {
            ok = receiveFfmpegVideo(videoFd, clock);
        }
        if (videoFd >= 0)
            close(videoFd);
        audio.finish();
    }
    if (!ok)
        std::fprintf(stderr, "stream-probe: the video stream could not be read\n");
    std::printf("%s\n", clock.summary().c_str());
    return ok ? 0 : 1;
}
