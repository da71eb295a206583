#include "show/show_session.h"

#include <QMetaObject>

#include <cstdio>

namespace receiver {

ShowSession::ShowSession(ReceiverWindow &window, const std::string &castCode, int audioSampleRate)
    : m_window(window), m_castCode(castCode), m_pictures([this] {
          QMetaObject::invokeMethod(
              &m_window, [this] { showNewestPicture(); }, Qt::QueuedConnection);
      }),
      m_sound(audioSampleRate) {}

void ShowSession::showNewestPicture() {
    if (std::optional<QImage> picture = m_pictures.takePicture())
        m_window.showPicture(*picture);
}

void ShowSession::castStarted(const std::string &code) {
    if (code != m_castCode)
        std::printf("the start command's code %s is not the code shown (%s); showing it anyway\n",
                    code.c_str(), m_castCode.c_str());
    m_pictures.restart();
    m_sound.restart();
}

void ShowSession::videoPacket(const uint8_t *data, size_t size) {
    m_pictures.push(data, size);
}

void ShowSession::audioPacket(const uint8_t *data, size_t size) {
    m_sound.push(data, size);
}

void ShowSession::castStopped() {
    m_pictures.restart();
    m_sound.restart();
    QMetaObject::invokeMethod(
        &m_window, [this] { m_window.showCode(); }, Qt::QueuedConnection);
}

} // namespace receiver
