// The cast-server program as tests and the demo run it: help, errors, the
// ready line, serving, and stopping on SIGTERM.
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// cast-server as a child process with its standard output and error piped.
class ServerProcess {
public:
    explicit ServerProcess(const std::vector<std::string> &args) {
        int out[2];
        int err[2];
        if (pipe(out) != 0 || pipe(err) != 0) {
            return;
        }
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], STDOUT_FILENO);
            dup2(err[1], STDERR_FILENO);
            close(out[0]);
            close(err[0]);
            std::vector<char *> argv{const_cast<char *>(CAST_SERVER_PATH)};
            for (const auto &arg : args) {
                argv.push_back(const_cast<char *>(arg.c_str()));
            }
            argv.push_back(nullptr);
            execv(CAST_SERVER_PATH, argv.data());
            _exit(127);
        }
        close(out[1]);
        close(err[1]);
        out_ = out[0];
        err_ = err[0];
    }

    ~ServerProcess() {
        if (pid_ > 0 && status_ < 0) {
            kill(pid_, SIGKILL);
            wait();
        }
        close(out_);
        close(err_);
    }

    // The first line of standard output, or "" after timeoutMs.
    std::string readLine(int timeoutMs) {
        std::string line;
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd fd{out_, POLLIN, 0};
            if (poll(&fd, 1, 50) <= 0) {
                continue;
            }
            char c;
            if (read(out_, &c, 1) != 1) {
                break;
            }
            if (c == '\n') {
                return line;
            }
            line.push_back(c);
        }
        return "";
    }

    std::string readAll(int fd) {
        std::string text;
        char buffer[4096];
        ssize_t n;
        while ((n = read(fd, buffer, sizeof(buffer))) > 0) {
            text.append(buffer, static_cast<size_t>(n));
        }
        return text;
    }

    // Exit status once the process ended (after reading its output).
    int wait() {
        int status = 0;
        waitpid(pid_, &status, 0);
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return status_;
    }

    void terminate() { kill(pid_, SIGTERM); }
    int outFd() const { return out_; }
    int errFd() const { return err_; }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
    int status_ = -1;
};

int portFromReadyLine(const std::string &line) {
    const std::string marker = "cast-server ready port=";
    if (line.rfind(marker, 0) != 0) {
        return -1;
    }
    return std::stoi(line.substr(marker.size()));
}

TEST(CastServerProgram, HelpGoesToStandardOutput) {
    ServerProcess process({"--help"});
    const std::string help = process.readAll(process.outFd());
    EXPECT_EQ(process.wait(), 0);
    EXPECT_NE(help.find("Usage:"), std::string::npos);
    EXPECT_NE(help.find("--receiver CODE=IP:PORT:WIDTHxHEIGHT"), std::string::npos);
}

TEST(CastServerProgram, BadCommandLineExitsWithTwoAndSaysWhy) {
    ServerProcess process({"--port", "99999"});
    const std::string error = process.readAll(process.errFd());
    EXPECT_EQ(process.wait(), 2);
    EXPECT_NE(error.find("--port expects 0 to 65535"), std::string::npos) << error;
    EXPECT_NE(error.find("--help"), std::string::npos) << error;
}

TEST(CastServerProgram, MissingFilesFolderExitsWithOne) {
    ServerProcess process({"--port", "0", "--files", "/nonexistent/cast-server-files"});
    const std::string error = process.readAll(process.errFd());
    EXPECT_EQ(process.wait(), 1);
    EXPECT_NE(error.find("is not a folder"), std::string::npos) << error;
}

TEST(CastServerProgram, ServesOnAFreePortUntilTerminated) {
    ServerProcess process({"--port", "0", "--receiver", "AB12CD=127.0.0.1:7000:1920x1080"});
    const std::string ready = process.readLine(10000);
    const int port = portFromReadyLine(ready);
    ASSERT_GT(port, 0) << ready;
    EXPECT_NE(ready.find(" base=http://127.0.0.1:" + std::to_string(port) + "/prod-api/"),
              std::string::npos)
        << ready;

    httplib::Client client("127.0.0.1", port);
    const auto reply = client.Get("/prod-api//send/pc/v1/heart?code=AB12CD&sign="
                                  "3bcb51cae0eda15df03ce141d81e9af1&timestamp=1700000000000");
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->body, R"({"code":200,"data":{},"msg":"success"})");

    // A second server cannot take the port while the first one holds it.
    ServerProcess second({"--port", std::to_string(port)});
    const std::string error = second.readAll(second.errFd());
    EXPECT_EQ(second.wait(), 1);
    EXPECT_NE(error.find("cannot listen"), std::string::npos) << error;

    process.terminate();
    EXPECT_EQ(process.wait(), 0);
    // Without --log the request log goes to standard error.
    EXPECT_NE(process.readAll(process.errFd()).find("\"exchange\":\"heart\""), std::string::npos);
}

} // namespace
