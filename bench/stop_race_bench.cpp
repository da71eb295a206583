// stop-race-bench: how long stopCapture takes right after startCapture, with
// the platform's capture devices (the X screen of DISPLAY, PulseAudio), over
// many starts and stops with random pauses between them; and, given the
// process id of the X server (Xvfb), how long a stop takes while that server
// is stopped (SIGSTOP), and whether the next cast works once it goes on.
//
//   stop-race-bench races [count]
//   stop-race-bench stopped-x <x server pid>
#include "pixpipe.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// A receiver that accepts on a port and its neighbour and reads everything.
class DrainingReceiver {
public:
    DrainingReceiver() {
        for (int attempt = 0; attempt < 50 && m_listeners[1] < 0; ++attempt) {
            closeListeners();
            m_listeners[0] = listenOn(0);
            m_port = boundPort(m_listeners[0]);
            m_listeners[1] = listenOn(static_cast<uint16_t>(m_port + 1));
        }
        for (int fd : m_listeners)
            m_threads.emplace_back([this, fd] { acceptLoop(fd); });
    }
    ~DrainingReceiver() {
        m_stopping = true;
        for (int fd : m_listeners)
            shutdown(fd, SHUT_RDWR);
        for (auto &thread : m_threads)
            thread.join();
        closeListeners();
    }
    int port() const { return m_port; }
    std::atomic<long long> received{0};

private:
    static int listenOn(uint16_t port) {
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
            listen(fd, 16) != 0) {
            close(fd);
            return -1;
        }
        return fd;
    }
    static uint16_t boundPort(int fd) {
        sockaddr_in address{};
        socklen_t length = sizeof address;
        getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length);
        return ntohs(address.sin_port);
    }
    void closeListeners() {
        for (int &fd : m_listeners) {
            if (fd >= 0)
                close(fd);
            fd = -1;
        }
    }
    void acceptLoop(int listener) {
        std::vector<std::thread> readers;
        while (!m_stopping) {
            int fd = accept(listener, nullptr, nullptr);
            if (fd < 0)
                break;
            readers.emplace_back([this, fd] {
                char buffer[65536];
                ssize_t got;
                while ((got = recv(fd, buffer, sizeof buffer, 0)) > 0)
                    received += got;
                close(fd);
            });
        }
        for (auto &reader : readers)
            reader.join();
    }
    int m_listeners[2] = {-1, -1};
    int m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::vector<std::thread> m_threads;
};

long long msSince(Clock::time_point begin) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - begin).count();
}

int startCast(DrainingReceiver &receiver) {
    char host[] = "127.0.0.1";
    char code[] = "RACE01";
    return startCapture(host, receiver.port(), code, 640, 360);
}

int races(int count) {
    DrainingReceiver receiver;
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> pause(0, 300);
    std::vector<long long> stops;
    for (int i = 0; i < count; ++i) {
        if (startCast(receiver) != 1) {
            std::printf("start %d failed\n", i);
            return 1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(pause(random)));
        auto begin = Clock::now();
        stopCapture();
        stops.push_back(msSince(begin));
    }
    std::sort(stops.begin(), stops.end());
    std::fprintf(stderr, "%d start/stop races: stop median %lld ms, slowest %lld ms\n", count,
                 stops[stops.size() / 2], stops.back());
    return 0;
}

int stoppedX(pid_t server) {
    DrainingReceiver receiver;
    if (startCast(receiver) != 1)
        return 1;
    std::this_thread::sleep_for(std::chrono::seconds(1));
    kill(server, SIGSTOP);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    auto begin = Clock::now();
    stopCapture();
    std::fprintf(stderr, "stop with the X server stopped took %lld ms\n", msSince(begin));
    kill(server, SIGCONT);
    long long before = receiver.received.load();
    if (startCast(receiver) != 1)
        return 1;
    std::this_thread::sleep_for(std::chrono::seconds(2));
    stopCapture();
    std::fprintf(stderr, "the next cast sent %lld bytes in 2 s\n",
                 receiver.received.load() - before);
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "races")
        return races(argc > 2 ? std::atoi(argv[2]) : 200);
    if (mode == "stopped-x" && argc > 2)
        return stoppedX(static_cast<pid_t>(std::atoi(argv[2])));
    std::fprintf(stderr, "usage: stop-race-bench races [count] | stopped-x <x server pid>\n");
    return 2;
}
