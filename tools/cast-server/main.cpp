// cast-server: a test double of the cast management server (see --help).
#include "cast_server.h"
#include "options.h"
#include "request_log.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <iostream>
#include <pthread.h>
#include <sys/stat.h>
#include <thread>

namespace {

int runServer(const cast_server::ServerOptions &options) {
    if (!options.filesDir.empty()) {
        struct stat info {};
        if (stat(options.filesDir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
            std::cerr << "cast-server: --files: \"" << options.filesDir << "\" is not a folder\n";
            return 1;
        }
    }
    cast_server::RequestLog log(options.logPath);
    if (!log.isOpen()) {
        std::cerr << "cast-server: cannot open the log file \"" << options.logPath << "\"\n";
        return 1;
    }

    // SIGINT and SIGTERM are blocked in every thread and taken by sigwait
    // below, so that no server thread ever runs a signal handler.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    cast_server::CastServer server(options, log);
    const int port = server.bind();
    if (port <= 0) {
        std::cerr << "cast-server: cannot listen on " << options.host << ":" << options.port
                  << "\n";
        return 1;
    }

    std::atomic<bool> stopping{false};
    std::atomic<bool> ended{false};
    bool served = false;
    const pthread_t mainThread = pthread_self();
    std::thread serving([&] {
        served = server.run();
        ended = true;
        if (!stopping) {
            // The server ended by itself: wake the main thread's sigwait.
            pthread_kill(mainThread, SIGTERM);
        }
    });
    // The ready line promises that requests are being accepted.
    while (!server.isRunning() && !ended) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (!ended) {
        std::cout << "cast-server ready port=" << port << " base=" << server.baseUrl() << std::endl;
    }
    int signal = 0;
    if (!ended) {
        sigwait(&stopSignals, &signal);
    }
    stopping = true;
    server.stop();
    serving.join();
    if (!served) {
        std::cerr << "cast-server: serving on port " << port << " failed\n";
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const cast_server::ParseResult parsed = cast_server::parseOptions(args);
    if (parsed.help) {
        std::cout << cast_server::helpText(argv[0]);
        return 0;
    }
    if (!parsed.error.empty()) {
        std::cerr << "cast-server: " << parsed.error << "\nTry \"" << argv[0]
                  << " --help\" for the options.\n";
        return 2;
    }
    return runServer(parsed.options);
}
