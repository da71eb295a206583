#include "show/latest_picture.h"

namespace receiver {

uint64_t LatestPicture::generation() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_generation;
}

bool LatestPicture::put(QImage picture, uint64_t generation) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (generation != m_generation)
        return false;
    bool wasEmpty = !m_picture;
    if (!wasEmpty)
        ++m_replaced;
    m_picture = std::move(picture);
    return wasEmpty;
}

std::optional<QImage> LatestPicture::take() {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::optional<QImage> picture = std::move(m_picture);
    m_picture.reset();
    return picture;
}

void LatestPicture::clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_picture.reset();
    ++m_generation;
}

uint64_t LatestPicture::replaced() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_replaced;
}

} // namespace receiver
