// The receiver itself: two listening ports, the newest connection on each
// (a reconnect replaces the old one), message reassembly, the reactions to
// the start and stop commands and the fault options, all in one poll loop.
#pragma once

#include "audio_writer.h"
#include "body_file.h"
#include "cast_listener.h"
#include "link/message_framing.h"
#include "receiver_options.h"
#include "stream_stats.h"

#include <cstdint>
#include <string>

namespace receiver {

class CastReceiver {
public:
    explicit CastReceiver(const ReceiverOptions &options);
    ~CastReceiver();
    CastReceiver(const CastReceiver &) = delete;
    CastReceiver &operator=(const CastReceiver &) = delete;

    // Binds both ports (a free pair when the port is 0). False with error set
    // when a port is taken or the address cannot be used.
    bool listen(std::string &error);
    uint16_t controlPort() const { return m_port; }
    uint16_t audioPort() const { return static_cast<uint16_t>(m_port + 1); }

    // Creates the output folder and the media files.
    bool openOutputs(std::string &error);

    // Serves until the cast ends (or, with keepRunning, until wakeFd becomes
    // readable: the signal handler's pipe). Returns true when it ended by a
    // signal.
    bool run(int wakeFd);

    // Writes stats.json into the output folder (nothing when not recording).
    bool writeStats(std::string &error);

    // Someone to tell about the cast as it arrives (not owned; may be null).
    void setListener(CastListener *listener) { m_listener = listener; }

private:
    struct Connection {
        explicit Connection(LinkKind kind);
        LinkKind link;
        int fd = -1;
        long messages = 0;
        bool framingErrorCounted = false;
        pixpipe::MessageAssembler assembler;
    };

    void accept(Connection &connection, int listener);
    void readFrom(Connection &connection);
    void handleMessage(Connection &connection, const pixpipe::MessageAssembler::Message &message);
    void closeConnection(Connection &connection);
    void sendQuit();
    void castEnded();
    void tellCastStopped();

    ReceiverOptions m_options;
    uint16_t m_port = 0;
    int m_controlListener = -1;
    int m_audioListener = -1;
    Connection m_control{LinkKind::Control};
    Connection m_audio{LinkKind::Audio};
    bool m_controlDropped = false;
    bool m_audioDropped = false;

    int64_t m_quitAtMs = -1;      // when to send MSG_QUIT, -1 for never
    int64_t m_endingSinceMs = -1; // stop seen or quit sent: the cast is ending

    StreamStats m_stats;
    BodyFile m_videoFile;
    AudioWriter m_audioWriter;

    CastListener *m_listener = nullptr;
    bool m_listenerInCast = false; // the listener heard a start and no stop yet
};

} // namespace receiver
