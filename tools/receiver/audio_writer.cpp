#include "audio_writer.h"

namespace receiver {

bool AudioWriter::write(const uint8_t *data, size_t size) {
    return m_file.append(data, size);
}

} // namespace receiver
