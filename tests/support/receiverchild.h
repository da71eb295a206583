// What the tests need around cast-receiver run as a child process: a fresh
// folder for what it writes, and the control port it listens on.
#pragma once

#include "childprocess.h"

#include <filesystem>
#include <string>

namespace test_support {

// <temporary folder>/<name>-<process id>, with whatever an earlier run left
// there removed.
std::filesystem::path freshOutputFolder(const std::string &name);

// Reads the first line of a cast-receiver started with "--port 0"
// ("... listening control=<port> ...") into line and returns the control
// port; -1 when the line does not name one.
int readControlPort(ChildProcess &receiver, std::string &line);

} // namespace test_support
