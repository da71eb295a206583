// Writes the received AAC packets to audio.aac, one after another.
#pragma once

#include "body_file.h"

namespace receiver {

class AudioWriter {
public:
    bool open(const std::string &path, std::string &error) { return m_file.open(path, error); }
    // Appends one AAC packet as it arrived (raw access unit).
    bool write(const uint8_t *data, size_t size);
    void close() { m_file.close(); }

private:
    BodyFile m_file;
};

} // namespace receiver
