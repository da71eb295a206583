// FFmpeg's text for an error code, cut to 63 characters as the audio
// messages print it.
#pragma once

#include <string>

extern "C" {
#include <libavutil/error.h>
}

namespace pixpipe {

inline std::string audioErrorText(int error) {
    char text[64] = {};
    av_strerror(error, text, sizeof(text));
    return text;
}

} // namespace pixpipe
