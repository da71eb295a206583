// cast-receiver: a test receiver for pixpipe casts (see --help).
#include "cast_receiver.h"
#include "receiver_options.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>

namespace {

int g_wakeWrite = -1;

void onSignal(int) {
    char byte = 1;
    [[maybe_unused]] ssize_t written = write(g_wakeWrite, &byte, 1);
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
    std::printf("cast-receiver listening control=%u audio=%u\n", castReceiver.controlPort(),
                castReceiver.audioPort());
    std::fflush(stdout);

    bool bySignal = castReceiver.run(wakePipe[0]);
    if (bySignal)
        std::printf("cast-receiver: ending on a signal\n");
    if (!castReceiver.writeStats(error)) {
        std::fprintf(stderr, "cast-receiver: %s\n", error.c_str());
        return 1;
    }
    std::printf("cast-receiver: stats written to %s/stats.json\n", options->outputDir.c_str());
    return 0;
}
