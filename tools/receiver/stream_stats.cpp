#include "stream_stats.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

namespace receiver {

namespace {

// Nearest-rank percentile of sorted values.
int64_t percentile(const std::vector<int64_t> &sorted, double fraction) {
    size_t rank = static_cast<size_t>(fraction * static_cast<double>(sorted.size()) + 0.999999);
    rank = std::clamp<size_t>(rank, 1, sorted.size());
    return sorted[rank - 1];
}

nlohmann::ordered_json latencySummary(const std::vector<MediaArrival> &arrivals) {
    if (arrivals.empty())
        return nullptr;
    std::vector<int64_t> latencies;
    latencies.reserve(arrivals.size());
    double sum = 0;
    for (const MediaArrival &arrival : arrivals) {
        // Both as low 32 bits; the signed difference survives the wrap.
        uint32_t arrivalLow = static_cast<uint32_t>(arrival.arrivalMs);
        int64_t latency = static_cast<int32_t>(arrivalLow - arrival.stamp);
        latencies.push_back(latency);
        sum += static_cast<double>(latency);
    }
    std::sort(latencies.begin(), latencies.end());
    return {{"min", latencies.front()},
            {"p50", percentile(latencies, 0.50)},
            {"p90", percentile(latencies, 0.90)},
            {"p95", percentile(latencies, 0.95)},
            {"p99", percentile(latencies, 0.99)},
            {"max", latencies.back()},
            {"mean", sum / static_cast<double>(latencies.size())}};
}

} // namespace

const char *linkName(LinkKind link) {
    return link == LinkKind::Control ? "control" : "audio";
}

nlohmann::ordered_json summarizeMedia(const std::vector<MediaArrival> &arrivals,
                                      const char *rateName) {
    uint64_t bytes = 0;
    uint64_t empty = 0;
    for (const MediaArrival &arrival : arrivals) {
        bytes += arrival.size;
        empty += arrival.size == 0 ? 1 : 0;
    }
    double spanSeconds = 0;
    if (arrivals.size() >= 2)
        spanSeconds =
            static_cast<double>(arrivals.back().arrivalMs - arrivals.front().arrivalMs) / 1000.0;
    double rate = 0;
    double bitRate = 0;
    if (spanSeconds > 0) {
        rate = static_cast<double>(arrivals.size() - 1) / spanSeconds;
        bitRate = static_cast<double>(bytes) * 8.0 / spanSeconds;
    }
    return {{"messages", arrivals.size()},           {"bytes", bytes}, {"empty_messages", empty},
            {"span_seconds", spanSeconds},           {rateName, rate}, {"bit_rate", bitRate},
            {"latency_ms", latencySummary(arrivals)}};
}

nlohmann::ordered_json StreamStats::toJson() const {
    nlohmann::ordered_json cut = nlohmann::ordered_json::array();
    for (const CutShortMessage &message : m_cutShort)
        cut.push_back({{"link", linkName(message.link)},
                       {"type", message.type},
                       {"length", message.length},
                       {"received_bytes", message.received}});
    nlohmann::ordered_json start = nullptr;
    if (m_startCommands > 0)
        start = m_startCode;
    return {{"start_code", start},
            {"start_commands", m_startCommands},
            {"stop_seen", m_stopCommands > 0},
            {"stop_commands", m_stopCommands},
            {"quit_sent", m_quitsSent > 0},
            {"connections", {{"control", m_controlConnections}, {"audio", m_audioConnections}}},
            {"video", summarizeMedia(m_video, "frame_rate")},
            {"audio", summarizeMedia(m_audio, "packet_rate")},
            {"other_messages", m_otherMessages},
            {"cut_short", cut.size()},
            {"cut_short_messages", cut},
            {"framing_errors", m_framingErrors},
            {"unparsed_bytes", m_unparsedBytes}};
}

bool writeFileAtomically(const std::string &path, const std::string &text, std::string &error) {
    std::string temporary = path + ".tmp";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        file << text;
        file.flush();
        if (!file) {
            error = "cannot write " + temporary + ": " + std::strerror(errno);
            return false;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        error = "cannot rename " + temporary + " to " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace receiver
