// pixpipe-bench: casts the X screen named by DISPLAY to cast-receiver for a
// fixed time per run and prints what was delivered and what it cost: frames
// per second, bit rates, engine CPU seconds per second of cast, peak memory
// of the engine's process and send latency (arrival minus stamp).
//
// Each run is one line of kRuns. A run with audio casts the sound device too;
// a run without it points the audio source at a device that cannot open, so
// that the cast goes on with video only and its figures are the video's.
#include "child_process.h"
#include "pixpipe.h"
#include "platform/capture_sources.h"
#include "process_usage.h"

#include <nlohmann/json.hpp>

extern "C" {
#include <libavutil/log.h>
}

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace {

struct BenchRun {
    const char *name;
    int width;
    int height;
    bool audio;
};

const BenchRun kRuns[] = {
    {"video 1920x1080", 1920, 1080, false},
    {"video 1280x720", 1280, 720, false},
    {"video+audio 1920x1080", 1920, 1080, true},
    {"video+audio 1280x720", 1280, 720, true},
};

// FFmpeg's pulse input records at 48000 Hz; the receiver states it in the
// ADTS headers of audio.aac so that the file plays at the right speed.
constexpr char kPulseSampleRate[] = "48000";

struct Settings {
    std::string receiverPath = CAST_RECEIVER_PATH;
    std::filesystem::path outputDir = std::filesystem::temp_directory_path() / "pixpipe-bench";
    int seconds = 20;
};

struct RunResult {
    bool ok = false;
    std::string error;
    double castSeconds = 0;
    double cpuSeconds = 0;
    double peakMiB = -1;
    nlohmann::json stats;
};

void useSources(bool audio) {
    pixpipe::CaptureSources sources = pixpipe::platformCaptureSources();
    if (!audio)
        sources.audio = {"pulse", "pixpipe-bench-no-such-source", {}, false};
    pixpipe::setCaptureSourcesForTesting(sources);
}

RunResult runCast(const BenchRun &run, const Settings &settings) {
    RunResult result;
    const std::filesystem::path out =
        settings.outputDir / std::regex_replace(run.name, std::regex("[^A-Za-z0-9]+"), "-");
    std::filesystem::remove_all(out);
    pixpipe::test::ChildProcess receiver({settings.receiverPath, "--port", "0", "--out",
                                          out.string(), "--audio-rate", kPulseSampleRate},
                                         true);
    std::smatch match;
    const std::string ready = receiver.readLine();
    if (!receiver.started() ||
        !std::regex_search(ready, match, std::regex("listening control=(\\d+)"))) {
        result.error = "cast-receiver did not start";
        return result;
    }

    useSources(run.audio);
    char host[] = "127.0.0.1";
    char code[] = "BENCH1";
    bench::resetPeakResidentSize();
    const double cpuBefore = bench::processCpuSeconds();
    const auto startTime = std::chrono::steady_clock::now();
    if (startCapture(host, std::stoi(match[1]), code, run.width, run.height) != 1) {
        result.error = "startCapture failed";
        stopCapture();
        return result;
    }
    std::this_thread::sleep_for(std::chrono::seconds(settings.seconds));
    stopCapture();
    result.castSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - startTime).count();
    result.cpuSeconds = bench::processCpuSeconds() - cpuBefore;
    result.peakMiB = bench::peakResidentMiB();
    pixpipe::resetCaptureSourcesForTesting();

    if (!receiver.waitForExit(std::chrono::seconds(10))) {
        result.error = "cast-receiver did not end after the stop";
        return result;
    }
    std::ifstream statsFile(out / "stats.json");
    if (!statsFile) {
        result.error = "no stats.json from cast-receiver";
        return result;
    }
    result.stats = nlohmann::json::parse(statsFile, nullptr, false);
    result.ok = !result.stats.is_discarded();
    if (!result.ok)
        result.error = "stats.json unreadable";
    return result;
}

double number(const nlohmann::json &json, std::initializer_list<const char *> path) {
    const nlohmann::json *node = &json;
    for (const char *key : path) {
        if (!node->is_object() || !node->contains(key))
            return 0;
        node = &(*node)[key];
    }
    return node->is_number() ? node->get<double>() : 0;
}

void printHeader(FILE *table) {
    std::fprintf(table, "%-21s %7s %10s %8s %9s %8s %8s %9s %10s\n", "run", "fps", "kbit/s",
                 "cpu s/s", "peak MiB", "lat p50", "lat p95", "audio p/s", "audio kb/s");
}

void printRow(FILE *table, const BenchRun &run, const RunResult &result) {
    if (!result.ok) {
        std::fprintf(table, "%-21s failed: %s\n", run.name, result.error.c_str());
        return;
    }
    const nlohmann::json &s = result.stats;
    std::fprintf(table, "%-21s %7.2f %10.1f %8.3f %9.1f %8.0f %8.0f %9.2f %10.1f\n", run.name,
                 number(s, {"video", "frame_rate"}), number(s, {"video", "bit_rate"}) / 1000,
                 result.cpuSeconds / result.castSeconds, result.peakMiB,
                 number(s, {"video", "latency_ms", "p50"}),
                 number(s, {"video", "latency_ms", "p95"}), number(s, {"audio", "packet_rate"}),
                 number(s, {"audio", "bit_rate"}) / 1000);
}

// What the sound costs: the engine CPU per second of cast of each run with
// audio, minus that of the video-only run of the same size.
void printAudioCost(FILE *table, const std::vector<RunResult> &results) {
    for (size_t i = 0; i < results.size(); ++i) {
        if (!kRuns[i].audio || !results[i].ok)
            continue;
        for (size_t j = 0; j < results.size(); ++j) {
            if (kRuns[j].audio || !results[j].ok || kRuns[j].width != kRuns[i].width ||
                kRuns[j].height != kRuns[i].height)
                continue;
            const double withAudio = results[i].cpuSeconds / results[i].castSeconds;
            const double videoOnly = results[j].cpuSeconds / results[j].castSeconds;
            std::fprintf(table, "audio at %dx%d: %+.3f engine CPU s per s of cast\n",
                         kRuns[i].width, kRuns[i].height, withAudio - videoOnly);
        }
    }
}

std::optional<Settings> parseArguments(int argc, char **argv) {
    Settings settings;
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (i + 1 >= argc)
            return std::nullopt;
        const std::string value = argv[++i];
        if (name == "--receiver")
            settings.receiverPath = value;
        else if (name == "--out")
            settings.outputDir = value;
        else if (name == "--seconds")
            settings.seconds = std::atoi(value.c_str());
        else
            return std::nullopt;
    }
    if (settings.seconds <= 0)
        return std::nullopt;
    return settings;
}

} // namespace

int main(int argc, char **argv) {
    const std::optional<Settings> settings = parseArguments(argc, argv);
    if (!settings) {
        std::fprintf(stderr, "Usage: pixpipe-bench [--seconds N] [--receiver PATH] [--out DIR]\n"
                             "Casts the screen of DISPLAY to cast-receiver, N seconds per run "
                             "(default 20).\n");
        return 2;
    }
    if (!std::getenv("DISPLAY")) {
        std::fprintf(stderr, "pixpipe-bench: DISPLAY is not set (use bench/run-video-bench)\n");
        return 2;
    }

    // FFmpeg's per-cast encoder summaries would bury the table.
    av_log_set_level(AV_LOG_ERROR);
    // The engine logs to standard output; the table goes to standard error
    // so that it stays readable when the log is sent elsewhere.
    std::vector<RunResult> results;
    for (const BenchRun &run : kRuns)
        results.push_back(runCast(run, *settings));

    std::fflush(stdout);
    std::fprintf(stderr,
                 "\n%d s per run; latency in ms; cpu s/s = engine CPU seconds per second of cast\n",
                 settings->seconds);
    printHeader(stderr);
    for (size_t i = 0; i < results.size(); ++i)
        printRow(stderr, kRuns[i], results[i]);
    printAudioCost(stderr, results);
    bool allOk = true;
    for (const RunResult &result : results)
        allOk = allOk && result.ok;
    return allOk ? 0 : 1;
}
