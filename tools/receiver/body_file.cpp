#include "body_file.h"

#include <cerrno>
#include <cstring>

namespace receiver {

BodyFile::~BodyFile() {
    close();
}

bool BodyFile::open(const std::string &path, std::string &error) {
    m_file = std::fopen(path.c_str(), "wb");
    if (!m_file)
        error = "cannot create " + path + ": " + std::strerror(errno);
    return m_file != nullptr;
}

bool BodyFile::append(const uint8_t *data, size_t size) {
    return m_file && (size == 0 || std::fwrite(data, 1, size, m_file) == size);
}

void BodyFile::close() {
    if (m_file)
        std::fclose(m_file);
    m_file = nullptr;
}

} // namespace receiver
