// What cast-receiver saw, and its summary as stats.json.
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace receiver {

enum class LinkKind { Control, Audio };

const char *linkName(LinkKind link);

struct MediaArrival {
    uint32_t size;
    uint32_t stamp;    // the sender's stamp: low 32 bits of wall-clock ms
    int64_t arrivalMs; // wall-clock ms on arrival
};

struct CutShortMessage {
    LinkKind link;
    int32_t type;      // 0 when the header itself was cut
    int32_t length;    // announced body length (0 when the header was cut)
    uint64_t received; // bytes of the message that arrived, header included
};

class StreamStats {
public:
    void startCommand(const std::string &code) {
        m_startCode = code;
        ++m_startCommands;
    }
    void stopCommand() { ++m_stopCommands; }
    void quitSent() { ++m_quitsSent; }
    void connectionAccepted(LinkKind link) {
        ++(link == LinkKind::Control ? m_controlConnections : m_audioConnections);
    }
    void video(const MediaArrival &arrival) { m_video.push_back(arrival); }
    void audio(const MediaArrival &arrival) { m_audio.push_back(arrival); }
    void otherMessage() { ++m_otherMessages; }
    void cutShort(const CutShortMessage &message) { m_cutShort.push_back(message); }
    void framingError() { ++m_framingErrors; }
    void unparsedBytes(uint64_t count) { m_unparsedBytes += count; }

    bool stopSeen() const { return m_stopCommands > 0; }
    nlohmann::ordered_json toJson() const;

private:
    std::string m_startCode;
    int m_startCommands = 0;
    int m_stopCommands = 0;
    int m_quitsSent = 0;
    int m_controlConnections = 0;
    int m_audioConnections = 0;
    std::vector<MediaArrival> m_video;
    std::vector<MediaArrival> m_audio;
    int m_otherMessages = 0;
    std::vector<CutShortMessage> m_cutShort;
    int m_framingErrors = 0;
    uint64_t m_unparsedBytes = 0;
};

// Summary of one media kind: count, bytes, rate, bit rate and latency
// (arrival minus stamp, both taken as low 32 bits of wall-clock ms).
nlohmann::ordered_json summarizeMedia(const std::vector<MediaArrival> &arrivals,
                                      const char *rateName);

// Writes the text to path through a temporary file, so that a reader never
// sees half a file. False with error set on failure.
bool writeFileAtomically(const std::string &path, const std::string &text, std::string &error);

} // namespace receiver
