// Where the capture threads read the screen and the sound from. The product
// uses the platform's devices; tests replace them through
// setCaptureSourcesForTesting, which is internal to the engine (not exported
// from the shared library).
#pragma once

#include <map>
#include <string>

namespace pixpipe {

struct CaptureSource {
    std::string inputFormat;                    // FFmpeg input format name, e.g. "x11grab"
    std::string device;                         // device or URL opened with it
    std::map<std::string, std::string> options; // extra demuxer options (test inputs)
    bool useScreenOptions = true;               // apply framerate/video_size from the screen
    // Reads return at once with EAGAIN when the device has nothing yet,
    // instead of blocking inside the device (where no interrupt reaches).
    bool nonBlocking = false;
};

struct CaptureSources {
    CaptureSource video;
    CaptureSource audio;
};

// The sources in force: the platform's devices unless a test replaced them.
CaptureSources currentCaptureSources();

// The platform's devices (dshow on Windows; x11grab and pulse elsewhere).
CaptureSources platformCaptureSources();

// Replaces the sources for the following casts; resetCaptureSourcesForTesting
// goes back to the platform's devices.
void setCaptureSourcesForTesting(const CaptureSources &sources);
void resetCaptureSourcesForTesting();

} // namespace pixpipe
