// cast-receiver: a test receiver for pixpipe casts (see --help).
#include "cast_receiver.h"
#include "receiver_options.h"
#include "show/show_main.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <random>

namespace {

int g_wakeWrite = -1;

void onSignal(int) {
    char byte = 1;
    [[maybe_unused]] ssize_t written = write(g_wakeWrite, &byte, 1);
}

// Six characters that cannot be mistaken for one another on a screen.
std::string randomCastCode() {
    static const char kLetters[] = "ABCDEFGHJKLMNPQRSTUVWXYZ23456789";
    std::random_device source;
    std::uniform_int_distribution<size_t> pick(0, sizeof kLetters - 2);
    std::string code;
    for (int i = 0; i < 6; ++i)
        code += kLetters[pick(source)];
    return code;
}

bool haveDisplay() {
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char *value = std::getenv(name);
        if (value && *value)
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char **argv) {
    std::string error;
    auto options = receiver::parseOptions(argc, argv, error);
    if (!options) {
        std::fprintf(stderr, "cast-receiver: %s\nTry 'cast-receiver --help'.\n", error.c_str());
        return 2;
    }
    if (options->help) {
        std::fputs(receiver::usageText().c_str(), stdout);
        return 0;
    }
    if (options->show) {
        if (!haveDisplay()) {
            std::fprintf(stderr, "cast-receiver: --show needs a display (DISPLAY is not set)\n");
            return 1;
        }
        // The window is the television: it serves cast after cast.
        options->keepRunning = true;
        if (options->castCode.empty())
            options->castCode = randomCastCode();
    }

    int wakePipe[2];
    if (pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::perror("cast-receiver: pipe");
        return 1;
    }
    g_wakeWrite = wakePipe[1];
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);

    receiver::CastReceiver castReceiver(*options);
    if (!castReceiver.listen(error)) {
        std::fprintf(stderr, "cast-receiver: %s\n", error.c_str());
        return 1;
    }
    if (!castReceiver.openOutputs(error)) {
        std::fprintf(stderr, "cast-receiver: %s\n", error.c_str());
        return 1;
    }
    if (options->show)
        std::printf("cast code %s\n", options->castCode.c_str());
    std::printf("cast-receiver listening control=%u audio=%u\n", castReceiver.controlPort(),
                castReceiver.audioPort());
    std::fflush(stdout);

    bool bySignal = options->show
                        ? receiver::runWithWindow(castReceiver, *options, wakePipe[0], wakePipe[1])
                        : castReceiver.run(wakePipe[0]);
    if (bySignal)
        std::printf("cast-receiver: ending on a signal\n");
    if (!castReceiver.writeStats(error)) {
        std::fprintf(stderr, "cast-receiver: %s\n", error.c_str());
        return 1;
    }
    if (options->record)
        std::printf("cast-receiver: stats written to %s/stats.json\n", options->outputDir.c_str());
    return 0;
}
