#include "receiverchild.h"

#include <unistd.h>

#include <regex>

namespace test_support {

std::filesystem::path freshOutputFolder(const std::string &name) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / (name + "-" + std::to_string(getpid()));
    std::filesystem::remove_all(folder);
    return folder;
}

int readControlPort(ChildProcess &receiver, std::string &line) {
    line = receiver.readLine();
    std::smatch match;
    if (!std::regex_search(line, match, std::regex("listening control=(\\d+)")))
        return -1;
    return std::stoi(match[1]);
}

} // namespace test_support
