// Connects the receiver's socket loop to the window: pictures to the picture
// decoder, sound to the player, the start and end of a cast to the screen
// shown. Every call from the socket thread only hands work over.
#pragma once

#include "cast_listener.h"
#include "show/audio_player.h"
#include "show/picture_decoder.h"
#include "show/receiver_window.h"

namespace receiver {

class ShowSession : public CastListener {
public:
    ShowSession(ReceiverWindow &window, const std::string &castCode, int audioSampleRate);

    void castStarted(const std::string &code) override;
    void videoPacket(const uint8_t *data, size_t size) override;
    void audioPacket(const uint8_t *data, size_t size) override;
    void castStopped() override;

private:
    void showNewestPicture();

    ReceiverWindow &m_window;
    const std::string m_castCode;
    PictureDecoder m_pictures;
    AudioPlayer m_sound;
};

} // namespace receiver
