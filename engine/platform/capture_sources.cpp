#include "platform/capture_sources.h"

#include "platform/loopback_capture.h"

#include <cstdlib>
#include <mutex>
#include <optional>

namespace pixpipe {

namespace {

std::mutex overrideLock;
std::optional<CaptureSources> overrideSources;

} // namespace

CaptureSources platformCaptureSources() {
    CaptureSources sources;
#ifdef _WIN32
    sources.video.inputFormat = "dshow";
    sources.video.device = "video=screen-capture-recorder";
    sources.audio.inputFormat = "dshow";
    sources.audio.device = "audio=virtual-audio-capturer";
    // A DirectShow source that stops delivering would otherwise hold a read
    // (and with it the stop) for ever.
    sources.video.nonBlocking = true;
    sources.audio.nonBlocking = true;
    // Windows' own screen capture: the whole desktop of the primary screen
    // (video_size from the screen, offset 0,0), with the mouse pointer.
    CaptureSource gdi;
    gdi.inputFormat = "gdigrab";
    gdi.device = "desktop";
    gdi.options["draw_mouse"] = "1";
    sources.videoFallbacks.push_back(gdi);
    sources.audioLoopbackFallback = openDefaultLoopback;
#else
    // x11grab's URL is the X display name; without a number or offset after
    // it, the whole screen of that display is captured.
    const char *display = std::getenv("DISPLAY");
    sources.video.inputFormat = "x11grab";
    sources.video.device = display ? display : "";
    sources.audio.inputFormat = "pulse";
    sources.audio.device = "@DEFAULT_MONITOR@";
#endif
    sources.audio.useScreenOptions = false;
    return sources;
}

std::string captureSourceName(const CaptureSource &source) {
    return source.inputFormat + " " + source.device;
}

CaptureSources currentCaptureSources() {
    std::lock_guard<std::mutex> lock(overrideLock);
    return overrideSources ? *overrideSources : platformCaptureSources();
}

void setCaptureSourcesForTesting(const CaptureSources &sources) {
    std::lock_guard<std::mutex> lock(overrideLock);
    overrideSources = sources;
}

void resetCaptureSourcesForTesting() {
    std::lock_guard<std::mutex> lock(overrideLock);
    overrideSources.reset();
}

} // namespace pixpipe
