#include "receiver_options.h"

#include "audio_writer.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>

namespace receiver {

namespace {

bool parseLong(const std::string &text, long low, long high, long &value) {
    if (text.empty())
        return false;
    char *end = nullptr;
    errno = 0;
    long parsed = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || parsed < low || parsed > high)
        return false;
    value = parsed;
    return true;
}

bool parseSeconds(const std::string &text, double &value) {
    if (text.empty())
        return false;
    char *end = nullptr;
    errno = 0;
    double parsed = std::strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0' || !(parsed >= 0) || parsed > 86400)
        return false;
    value = parsed;
    return true;
}

} // namespace

bool isCastCode(const std::string &text) {
    return text.size() == 6 && std::all_of(text.begin(), text.end(), [](unsigned char c) {
               return std::isalnum(c) != 0 && c < 0x80;
           });
}

std::string usageText() {
    return "Usage: cast-receiver [options]\n"
           "A test receiver for pixpipe casts: listens on a control port P and an audio\n"
           "port P+1, records the start code, the stop command and every media message,\n"
           "and writes video.h264, audio.aac and stats.json into the output folder.\n"
           "\n"
           "  --port P              control port (audio on P+1); 0 picks a free pair (default 0)\n"
           "  --bind ADDR           IPv4 address to listen on (default 127.0.0.1)\n"
           "  --out DIR             output folder, created if missing (default .)\n"
           "  --quit-after SECONDS  send the quit message this long after the start command\n"
           "  --silent-after-stop   neither answer nor close the link after the stop command\n"
           "  --refuse-audio        keep the audio port closed\n"
           "  --drop-after N        drop the control link once, after its N-th message\n"
           "  --drop-audio-after N  drop the audio link once, after its N-th message\n"
           "  --audio-rate HZ       sample rate stated in the ADTS headers of audio.aac\n"
           "                        (default 48000, the rate of PulseAudio's monitor)\n"
           "  --keep-running        serve cast after cast until SIGINT or SIGTERM\n"
           "  --show                show the cast in a window like the television: the cast\n"
           "                        code before a cast, the picture and sound during one;\n"
           "                        serves cast after cast until the window is closed and\n"
           "                        records only when --out is given\n"
           "  --code CODE           the six-letter-or-digit code the window shows\n"
           "                        (default: a random one, printed)\n"
           "  --help                show this text\n"
           "\n"
           "Prints \"cast-receiver listening control=P audio=P+1\" when ready. Without\n"
           "--keep-running it ends when the cast ends (stop command or quit, then the\n"
           "links close). stats.json is written on every way out.\n"
           "In the window, F or a double click toggles full screen.\n";
}

std::optional<ReceiverOptions> parseOptions(int argc, char **argv, std::string &error) {
    ReceiverOptions options;
    bool outputGiven = false;
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        auto value = [&](std::string &out) {
            if (i + 1 >= argc) {
                error = "option " + name + " needs a value";
                return false;
            }
            out = argv[++i];
            return true;
        };
        std::string text;
        long number = 0;
        if (name == "--help" || name == "-h") {
            options.help = true;
        } else if (name == "--port") {
            if (!value(text))
                return std::nullopt;
            if (!parseLong(text, 0, 65534, number)) {
                error = "bad port '" + text + "' (0 to 65534; the audio port is one higher)";
                return std::nullopt;
            }
            options.port = static_cast<uint16_t>(number);
        } else if (name == "--bind") {
            if (!value(text))
                return std::nullopt;
            in_addr address{};
            if (inet_pton(AF_INET, text.c_str(), &address) != 1) {
                error = "bad bind address '" + text + "' (dotted IPv4 expected)";
                return std::nullopt;
            }
            options.bindAddress = text;
        } else if (name == "--out") {
            if (!value(options.outputDir))
                return std::nullopt;
            outputGiven = true;
            if (options.outputDir.empty()) {
                error = "empty output folder";
                return std::nullopt;
            }
        } else if (name == "--quit-after") {
            if (!value(text))
                return std::nullopt;
            if (!parseSeconds(text, options.quitAfterSeconds)) {
                error = "bad --quit-after '" + text + "' (seconds, 0 or more)";
                return std::nullopt;
            }
        } else if (name == "--silent-after-stop") {
            options.silentAfterStop = true;
        } else if (name == "--refuse-audio") {
            options.refuseAudio = true;
        } else if (name == "--drop-after" || name == "--drop-audio-after") {
            if (!value(text))
                return std::nullopt;
            if (!parseLong(text, 1, 1000000000, number)) {
                error = "bad " + name + " '" + text + "' (a message count, 1 or more)";
                return std::nullopt;
            }
            (name == "--drop-after" ? options.dropControlAfter : options.dropAudioAfter) = number;
        } else if (name == "--audio-rate") {
            if (!value(text))
                return std::nullopt;
            if (!parseLong(text, 1, 96000, number) || !isAdtsSampleRate(static_cast<int>(number))) {
                error = "bad --audio-rate '" + text + "' (an AAC sample rate such as 44100)";
                return std::nullopt;
            }
            options.audioSampleRate = static_cast<int>(number);
        } else if (name == "--keep-running") {
            options.keepRunning = true;
        } else if (name == "--show") {
            options.show = true;
        } else if (name == "--code") {
            if (!value(text))
                return std::nullopt;
            if (!isCastCode(text)) {
                error = "bad --code '" + text + "' (six letters or digits)";
                return std::nullopt;
            }
            std::transform(text.begin(), text.end(), text.begin(),
                           [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
            options.castCode = text;
        } else {
            error = "unknown option '" + name + "'";
            return std::nullopt;
        }
    }
    options.record = !options.show || outputGiven;
    return options;
}

} // namespace receiver
