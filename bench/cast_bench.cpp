// pixpipe-bench: our engine against the FFmpeg command line, side by side on
// the same X screen (DISPLAY), sending it at 1280x720 with its sound.
//
// For each scene (a moving screen, a still one, then a still desktop with a
// video playing in a window) the two senders take
// turns in segments of a fixed length, the order swapped every round, so that
// whatever else loads the machine hits both alike. Each segment starts a
// fresh sender process and a fresh stream-probe that receives and decodes
// what it sends; the sender's CPU time and peak memory come from the kernel
// when it ends (for FFmpeg, the sum of its video and its audio process).
//
// The moving scene shows FFmpeg's testsrc2 (played by ffplay) below a
// barcode clock (barcode-clock) that repaints every 5 ms; stream-probe reads
// the clock back from each decoded picture: glass-to-decoded latency. The
// still scene shows one picture and no clock, so it has no latency figures;
// nor has the window scene, a desktop of text with one 640x360 window of
// moving colour bands in the middle (window-video). For each scene the
// engine reports how many of the converted picture's bands it converted.
#include "childprocess.h"
#include "pixpipe.h"
#include "video/conversion_counts.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace {

using test_support::ChildProcess;

constexpr int kSentWidth = 1280;
constexpr int kSentHeight = 720;
constexpr char kBarcodeRows[] = "40"; // the painted bar, left free by the player

enum class Sender { Pixpipe, Ffmpeg };
enum class Scene { Moving, Still, Window };
constexpr Scene kScenes[] = {Scene::Moving, Scene::Still, Scene::Window};

struct Settings {
    std::string self;
    int seconds = 12;
    int rounds = 2;
    std::vector<Scene> scenes{std::begin(kScenes), std::end(kScenes)};
};

struct Segment {
    bool ok = false;
    std::string error;
    double cpuPerSecond = 0;
    double peakMiB = 0;
    nlohmann::json probe;
    // The engine's conversions (none for FFmpeg).
    pixpipe::ConversionCounts conversions;
};

const char *senderName(Sender sender) {
    return sender == Sender::Pixpipe ? "pixpipe" : "ffmpeg";
}

const char *sceneName(Scene scene) {
    switch (scene) {
    case Scene::Moving:
        return "moving";
    case Scene::Still:
        return "still";
    case Scene::Window:
        return "window";
    }
    return "";
}

// The goal of the CPU ratio, ours to FFmpeg's, for a scene.
double cpuGoal(Scene scene) {
    switch (scene) {
    case Scene::Moving:
        return 1.0;
    case Scene::Still:
        return 0.45;
    case Scene::Window:
        return 0.60;
    }
    return 0;
}

constexpr char kConversionsLabel[] = "conversions ";

double cpuSeconds(const rusage &usage) {
    auto seconds = [](const timeval &time) { return time.tv_sec + time.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The FFmpeg command line a user would run for the same cast: the screen at
// 15 fps scaled with bicubic filtering and encoded with the engine's H.264
// settings, and the sound as a second process (one process with both inputs
// falls far behind 15 fps).
std::vector<std::vector<std::string>> ffmpegCommands(int seconds, unsigned videoPort,
                                                     unsigned audioPort) {
    const std::string display = std::getenv("DISPLAY");
    const std::string duration = std::to_string(seconds);
    const std::string size = std::to_string(kSentWidth) + ":" + std::to_string(kSentHeight);
    return {
        {"ffmpeg",
         "-nostdin",
         "-loglevel",
         "error",
         "-f",
         "x11grab",
         "-framerate",
         "15",
         "-i",
         display,
         "-vf",
         "scale=" + size + ":flags=bicubic",
         "-pix_fmt",
         "yuv420p",
         "-c:v",
         "libx264",
         "-preset",
         "ultrafast",
         "-tune",
         "zerolatency",
         "-b:v",
         "1300k",
         "-g",
         "60",
         "-bf",
         "0",
         "-qcomp",
         "0.6",
         "-qmin",
         "10",
         "-qmax",
         "30",
         "-qdiff",
         "4",
         "-t",
         duration,
         "-flush_packets",
         "1",
         "-f",
         "nut",
         "tcp://127.0.0.1:" + std::to_string(videoPort)},
        {"ffmpeg",
         "-nostdin",
         "-loglevel",
         "error",
         "-f",
         "pulse",
         "-i",
         "@DEFAULT_MONITOR@",
         "-c:a",
         "aac",
         "-b:a",
         "96k",
         "-ac",
         "2",
         "-t",
         duration,
         "-flush_packets",
         "1",
         "-f",
         "adts",
         "tcp://127.0.0.1:" + std::to_string(audioPort)},
    };
}

Segment runSegment(Sender sender, const Settings &settings) {
    Segment segment;
    ChildProcess probe({STREAM_PROBE_PATH, senderName(sender)}, true);
    std::smatch match;
    const std::string ready = probe.readLine();
    if (!std::regex_search(ready, match, std::regex("video=(\\d+) audio=(\\d+)"))) {
        segment.error = "stream-probe did not start";
        return segment;
    }
    const unsigned videoPort = std::stoul(match[1]);
    const unsigned audioPort = std::stoul(match[2]);

    std::vector<std::unique_ptr<ChildProcess>> senders;
    const auto start = std::chrono::steady_clock::now();
    if (sender == Sender::Pixpipe) {
        senders.push_back(std::make_unique<ChildProcess>(
            std::vector<std::string>{settings.self, "--engine-child", std::to_string(videoPort),
                                     std::to_string(settings.seconds)},
            true));
    } else {
        for (const auto &command : ffmpegCommands(settings.seconds, videoPort, audioPort))
            senders.push_back(std::make_unique<ChildProcess>(command, false));
    }
    double cpu = 0;
    for (auto &process : senders) {
        if (!process->started() ||
            !process->waitForExit(std::chrono::seconds(settings.seconds + 15))) {
            segment.error = "a sender did not start or did not end";
            return segment;
        }
        cpu += cpuSeconds(process->usage());
        segment.peakMiB += process->usage().ru_maxrss / 1024.0; // ru_maxrss is in KiB
    }
    if (sender == Sender::Pixpipe) {
        // The engine child's last line of output, after the engine's own.
        for (std::string line = senders.front()->readLine(); !line.empty();
             line = senders.front()->readLine()) {
            pixpipe::ConversionCounts &counts = segment.conversions;
            long long pictures = 0, bands = 0, converted = 0, area = 0, areaConverted = 0;
            if (line.rfind(kConversionsLabel, 0) == 0 &&
                std::sscanf(line.c_str() + sizeof kConversionsLabel - 1, "%lld %lld %lld %lld %lld",
                            &pictures, &bands, &converted, &area, &areaConverted) == 5)
                counts = {pictures, bands, converted, area, areaConverted};
        }
    }
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    segment.cpuPerSecond = cpu / wall;

    segment.probe = nlohmann::json::parse(probe.readLine(), nullptr, false);
    probe.waitForExit(std::chrono::seconds(10));
    if (!segment.probe.is_object())
        segment.error = "no report from stream-probe";
    else if (segment.probe.value("pictures", 0) == 0)
        segment.error = "stream-probe received no pictures";
    segment.ok = segment.error.empty();
    return segment;
}

// The programs that put a scene on the screen; they end with the object.
struct ScreenScene {
    std::vector<std::unique_ptr<ChildProcess>> programs;
    ChildProcess *clock = nullptr;
};

std::unique_ptr<ScreenScene> showScene(Scene scene) {
    auto shown = std::make_unique<ScreenScene>();
    if (scene == Scene::Window) {
        shown->programs.push_back(
            std::make_unique<ChildProcess>(std::vector<std::string>{WINDOW_VIDEO_PATH}, true));
        if (shown->programs.back()->readLine().rfind("ready", 0) != 0)
            return nullptr;
    } else if (scene == Scene::Moving) {
        shown->programs.push_back(std::make_unique<ChildProcess>(
            std::vector<std::string>{"ffplay", "-loglevel", "quiet", "-an", "-f", "lavfi", "-i",
                                     "testsrc2=size=640x360:rate=15", "-x", "1920", "-y", "1040",
                                     "-left", "0", "-top", kBarcodeRows, "-noborder"},
            false));
        shown->programs.push_back(
            std::make_unique<ChildProcess>(std::vector<std::string>{BARCODE_CLOCK_PATH}, true));
        shown->clock = shown->programs.back().get();
        if (shown->clock->readLine().rfind("ready", 0) != 0)
            return nullptr;
    } else {
        // One picture that stays: ffplay keeps showing the last frame at the end.
        shown->programs.push_back(std::make_unique<ChildProcess>(
            std::vector<std::string>{"ffplay", "-loglevel", "quiet", "-an", "-f", "lavfi", "-i",
                                     "testsrc2=size=640x360:rate=15:duration=0.2", "-x", "1920",
                                     "-y", "1080", "-left", "0", "-top", "0", "-noborder"},
            false));
    }
    std::this_thread::sleep_for(std::chrono::seconds(2));
    return shown;
}

double percentile(std::vector<double> values, double fraction) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(fraction * (values.size() - 1))];
}

struct Summary {
    int segments = 0;
    double fps = 0, videoKbit = 0, audioKbit = 0, cpu = 0, peakMiB = 0;
    double latencyP50 = 0, latencyP95 = 0;
    long unreadable = 0, decodeErrors = 0;
    std::vector<double> cpuBySegment;
    pixpipe::ConversionCounts conversions;
};

Summary summarise(const std::vector<Segment> &segments) {
    Summary summary;
    std::vector<double> latencies;
    for (const Segment &segment : segments) {
        if (!segment.ok)
            continue;
        const nlohmann::json &probe = segment.probe;
        ++summary.segments;
        summary.fps += probe.value("fps", 0.0);
        summary.videoKbit += probe.value("video_kbit_s", 0.0);
        summary.audioKbit += probe.value("audio_kbit_s", 0.0);
        summary.cpu += segment.cpuPerSecond;
        summary.cpuBySegment.push_back(segment.cpuPerSecond);
        summary.peakMiB = std::max(summary.peakMiB, segment.peakMiB);
        summary.unreadable += probe.value("unreadable", 0L);
        summary.decodeErrors += probe.value("decode_errors", 0L);
        summary.conversions.pictures += segment.conversions.pictures;
        summary.conversions.bands += segment.conversions.bands;
        summary.conversions.bandsConverted += segment.conversions.bandsConverted;
        summary.conversions.area += segment.conversions.area;
        summary.conversions.areaConverted += segment.conversions.areaConverted;
        for (const auto &latency : probe.value("latency_ms", nlohmann::json::array()))
            latencies.push_back(latency.get<double>());
    }
    if (summary.segments > 0) {
        summary.fps /= summary.segments;
        summary.videoKbit /= summary.segments;
        summary.audioKbit /= summary.segments;
        summary.cpu /= summary.segments;
    }
    summary.latencyP50 = percentile(latencies, 0.50);
    summary.latencyP95 = percentile(latencies, 0.95);
    return summary;
}

void printScene(Scene scene, const std::vector<Segment> (&segments)[2], int seconds) {
    const bool moving = scene == Scene::Moving;
    std::printf("\n%s screen, sent at %dx%d\n", sceneName(scene), kSentWidth, kSentHeight);
    std::printf("%-8s %6s %8s %7s %8s %10s %8s %7s %7s %8s  %s\n", "sender", "fps", "video kb/s",
                "audio kb/s", "cpu s/s", "cpu ms/pic", "peak MiB", "lat p50", "lat p95", "unread",
                "cpu s/s by segment");
    Summary summaries[2];
    for (int side = 0; side < 2; ++side) {
        const Summary &s = summaries[side] = summarise(segments[side]);
        // CPU per delivered picture: a sender that falls behind and drops
        // pictures also spends less per second.
        std::printf("%-8s %6.2f %10.1f %10.1f %8.3f %10.1f %8.1f", senderName(Sender(side)), s.fps,
                    s.videoKbit, s.audioKbit, s.cpu, s.fps > 0 ? s.cpu / s.fps * 1000 : 0,
                    s.peakMiB);
        if (moving)
            std::printf(" %7.1f %7.1f %8ld ", s.latencyP50, s.latencyP95, s.unreadable);
        else
            std::printf(" %7s %7s %8s ", "-", "-", "-");
        for (double cpu : s.cpuBySegment)
            std::printf(" %.3f", cpu);
        for (const Segment &segment : segments[side]) {
            if (!segment.ok)
                std::printf(" [failed: %s]", segment.error.c_str());
        }
        if (s.decodeErrors > 0)
            std::printf(" [%ld decode errors]", s.decodeErrors);
        std::printf("\n");
    }
    const Summary &ours = summaries[0];
    const Summary &theirs = summaries[1];
    auto ratio = [](double a, double b) { return b > 0 ? a / b : 0.0; };
    // Bands of the converted picture that the engine converted: over the
    // pictures it converted, and over all it sent (a still picture sent
    // again is not converted at all), these counted as the delivered rate
    // over the whole of each segment.
    const pixpipe::ConversionCounts &conversions = ours.conversions;
    const long long sentPictures = std::llround(ours.fps * seconds * ours.segments);
    const double bandsPerPicture =
        conversions.pictures > 0 ? double(conversions.bands) / conversions.pictures : 0;
    std::printf("pixpipe bands converted: %.3f per converted picture, %.3f per sent picture "
                "(%lld of %lld pictures converted, %.0f bands each); area converted: %.3f per "
                "converted picture (the bands' columns over the change)\n",
                ratio(double(conversions.bandsConverted), double(conversions.bands)),
                ratio(double(conversions.bandsConverted), bandsPerPicture * sentPictures),
                static_cast<long long>(conversions.pictures), sentPictures, bandsPerPicture,
                ratio(double(conversions.areaConverted), double(conversions.area)));
    std::printf("pixpipe/ffmpeg: cpu %.2f (goal <= %.2f), per picture %.2f, peak memory %.2f "
                "(goal <= 0.75)",
                ratio(ours.cpu, theirs.cpu), cpuGoal(scene),
                ratio(ours.cpu / ours.fps, theirs.cpu / theirs.fps),
                ratio(ours.peakMiB, theirs.peakMiB));
    if (moving)
        std::printf(", latency p50 %.2f, p95 %.2f (goal < 1)",
                    ratio(ours.latencyP50, theirs.latencyP50),
                    ratio(ours.latencyP95, theirs.latencyP95));
    std::printf("\n");
}

// The engine's side of a segment, run as a child of the benchmark so that its
// CPU time and peak memory are measured like FFmpeg's.
int runEngineChild(int port, int seconds) {
    char host[] = "127.0.0.1";
    char code[] = "BENCH1";
    if (startCapture(host, port, code, kSentWidth, kSentHeight) != 1)
        return 1;
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    stopCapture();
    const pixpipe::ConversionCounts counts = pixpipe::conversionCounts();
    std::printf("%s%lld %lld %lld %lld %lld\n", kConversionsLabel,
                static_cast<long long>(counts.pictures), static_cast<long long>(counts.bands),
                static_cast<long long>(counts.bandsConverted), static_cast<long long>(counts.area),
                static_cast<long long>(counts.areaConverted));
    return 0;
}

std::optional<Settings> parseArguments(int argc, char **argv) {
    Settings settings;
    settings.self = argv[0];
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const int value = std::atoi(argv[i + 1]);
        if (name == "--scene") {
            const auto named =
                std::find_if(std::begin(kScenes), std::end(kScenes), [&](Scene scene) {
                    return argv[i + 1] == std::string(sceneName(scene));
                });
            if (named == std::end(kScenes))
                return std::nullopt;
            settings.scenes = {*named};
        } else if (name == "--seconds")
            settings.seconds = value;
        else if (name == "--rounds")
            settings.rounds = value;
        else
            return std::nullopt;
    }
    if (argc % 2 == 0 || settings.seconds < 5 || settings.rounds < 1)
        return std::nullopt;
    return settings;
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 4 && std::string(argv[1]) == "--engine-child")
        return runEngineChild(std::atoi(argv[2]), std::atoi(argv[3]));

    const std::optional<Settings> settings = parseArguments(argc, argv);
    if (!settings) {
        std::fprintf(stderr,
                     "Usage: pixpipe-bench [--seconds N (>= 5, default 12)] [--rounds R] "
                     "[--scene moving|still|window]\n"
                     "Runs the engine and the FFmpeg command line in turns on the screen of "
                     "DISPLAY, R rounds of N s each per scene (all three, or the one named).\n");
        return 2;
    }
    if (!std::getenv("DISPLAY")) {
        std::fprintf(stderr, "pixpipe-bench: DISPLAY is not set (use bench/run-video-bench)\n");
        return 2;
    }

    bool allOk = true;
    std::string clockReport;
    std::vector<Segment> results[3][2]; // [scene][sender]
    for (Scene scene : settings->scenes) {
        std::unique_ptr<ScreenScene> shown = showScene(scene);
        if (!shown) {
            std::fprintf(stderr, "pixpipe-bench: the screen scene did not start\n");
            return 1;
        }
        for (int round = 0; round < settings->rounds; ++round) {
            const Sender first = round % 2 == 0 ? Sender::Pixpipe : Sender::Ffmpeg;
            const Sender second = first == Sender::Pixpipe ? Sender::Ffmpeg : Sender::Pixpipe;
            for (Sender sender : {first, second}) {
                Segment segment = runSegment(sender, *settings);
                allOk = allOk && segment.ok;
                std::fprintf(stderr, "%s %s round %d: %s\n", sceneName(scene), senderName(sender),
                             round + 1, segment.ok ? "done" : segment.error.c_str());
                results[int(scene)][int(sender)].push_back(std::move(segment));
            }
        }
        if (shown->clock) {
            shown->clock->terminate();
            clockReport = shown->clock->readLine();
        }
    }

    std::printf("%d round(s) of %d s per sender and scene, taken in turns; kb/s = kbit/s "
                "delivered; cpu s/s = sender CPU seconds per second; latency in ms, glass to "
                "decoded\n",
                settings->rounds, settings->seconds);
    for (Scene scene : settings->scenes)
        printScene(scene, results[int(scene)], settings->seconds);
    std::printf("\nlatency error bound: the painted clock is late by up to one repaint "
                "interval, so latencies are overstated by at most that: %s",
                clockReport.empty() ? "(no report from barcode-clock)\n" : clockReport.c_str());
    return allOk ? 0 : 1;
}
