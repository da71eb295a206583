// Where the capture threads read the screen and the sound from. The product
// uses the platform's devices, and where the first one is missing its
// fallbacks; tests replace them through setCaptureSourcesForTesting, which is
// internal to the engine (not exported from the shared library).
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace pixpipe {

class LoopbackClient;

struct CaptureSource {
    std::string inputFormat;                    // FFmpeg input format name, e.g. "x11grab"
    std::string device;                         // device or URL opened with it
    std::map<std::string, std::string> options; // extra demuxer options
    bool useScreenOptions = true;               // apply framerate/video_size from the screen
    // Reads return at once with EAGAIN when the device has nothing yet,
    // instead of blocking inside the device (where no interrupt reaches).
    bool nonBlocking = false;
};

struct CaptureSources {
    CaptureSource video;
    CaptureSource audio;
    // Tried in order when the video source cannot be opened.
    std::vector<CaptureSource> videoFallbacks;
    // When the audio source cannot be opened: opens the capture of what the
    // default playback device plays (openDefaultLoopback on Windows). Empty
    // when there is no such fallback.
    std::unique_ptr<LoopbackClient> (*audioLoopbackFallback)() = nullptr;
};

// The sources in force: the platform's devices unless a test replaced them.
CaptureSources currentCaptureSources();

// The platform's devices (dshow, then GDI and WASAPI loopback, on Windows;
// x11grab and pulse elsewhere).
CaptureSources platformCaptureSources();

// A readable name of a source for the log, e.g. "gdigrab desktop".
std::string captureSourceName(const CaptureSource &source);

// Replaces the sources for the following casts; resetCaptureSourcesForTesting
// goes back to the platform's devices. A test that clears the fallbacks sees
// the first sources fail exactly as on a machine without fallbacks.
void setCaptureSourcesForTesting(const CaptureSources &sources);
void resetCaptureSourcesForTesting();

} // namespace pixpipe
