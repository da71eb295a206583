// cast-receiver run as a child process: its output lines, its errors, its
// exit status, and the ports from its ready line.
#pragma once

#include "childprocess.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

class ReceiverProcess {
public:
    explicit ReceiverProcess(const std::vector<std::string> &arguments);
    ~ReceiverProcess(); // kills a child that is still running
    ReceiverProcess(const ReceiverProcess &) = delete;
    ReceiverProcess &operator=(const ReceiverProcess &) = delete;

    // Reads output up to the ready line; false if the child ended first.
    bool waitReady();
    uint16_t controlPort() const { return m_controlPort; }
    uint16_t audioPort() const { return m_audioPort; }

    void signal(int number);
    // The exit code, or -1 when the child did not end in time.
    int waitForExit(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Everything the child wrote to standard output and standard error.
    std::string output();
    std::string errors();

private:
    test_support::ChildProcess m_child;
    std::string m_output;
    std::string m_errors;
    uint16_t m_controlPort = 0;
    uint16_t m_audioPort = 0;
};

// A loopback TCP client for talking to the receiver.
int connectLoopback(uint16_t port);
bool sendAll(int fd, const std::vector<uint8_t> &bytes);
