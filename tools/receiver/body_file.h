// An output file that message bodies are appended to in arrival order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace receiver {

class BodyFile {
public:
    BodyFile() = default;
    BodyFile(const BodyFile &) = delete;
    BodyFile &operator=(const BodyFile &) = delete;
    ~BodyFile();

    bool open(const std::string &path, std::string &error);
    bool append(const uint8_t *data, size_t size);
    void close();

private:
    std::FILE *m_file = nullptr;
};

} // namespace receiver
