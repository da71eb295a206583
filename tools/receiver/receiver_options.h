// Command-line options of cast-receiver.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace receiver {

struct ReceiverOptions {
    uint16_t port = 0; // control port; audio is port + 1; 0 picks a free pair
    std::string bindAddress = "127.0.0.1";
    std::string outputDir = ".";
    double quitAfterSeconds = -1; // >= 0: send MSG_QUIT this long after the start command
    bool silentAfterStop = false; // neither answer nor close the link after MSG_STOP
    bool refuseAudio = false;     // keep the audio port closed
    long dropControlAfter = 0;    // > 0: drop the control link once, after this many messages
    long dropAudioAfter = 0;      // > 0: the same for the audio link
    int audioSampleRate = 48000;  // stated in the ADTS headers of audio.aac
    bool keepRunning = false;     // serve cast after cast until a signal
    bool show = false;            // show the cast in a window, like the television
    std::string castCode;         // the code the window shows; empty: a random one
    bool record = true;           // write the output files (with --show only when --out is given)
    bool help = false;
};

// Parses argv. On a bad argument returns nothing and sets error.
std::optional<ReceiverOptions> parseOptions(int argc, char **argv, std::string &error);

std::string usageText();

// Whether text can be a cast code: six letters or digits.
bool isCastCode(const std::string &text);

} // namespace receiver
