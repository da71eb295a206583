// The engine's public C interface: the three functions the desktop program
// resolves by name at run time.
#ifndef PIXPIPE_H
#define PIXPIPE_H

#include <stdint.h>

#ifdef _WIN32
#define PIXPIPE_CALL __cdecl
#ifdef PIXPIPE_BUILDING
#define PIXPIPE_EXPORT __declspec(dllexport)
#else
#define PIXPIPE_EXPORT __declspec(dllimport)
#endif
#else
#define PIXPIPE_CALL
#define PIXPIPE_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

// The codes the engine passes to its callback.
enum PixpipeCode {
    // The receiver link is lost, or the start command could not be sent.
    PIXPIPE_LINK_LOST = -1,
    // The receiver ended the cast (or the host stopped it).
    PIXPIPE_RECEIVER_QUIT = 0,
    PIXPIPE_VIDEO_DEVICE_NOT_OPENED = 1001,
    PIXPIPE_VIDEO_NO_STREAM_INFO = 1002,
    PIXPIPE_VIDEO_NO_STREAM = 1003,
    PIXPIPE_VIDEO_ENCODER_FAILED = 1004,
    PIXPIPE_AUDIO_DEVICE_NOT_OPENED = 1005,
    PIXPIPE_AUDIO_NO_STREAM_INFO = 1006,
    PIXPIPE_AUDIO_NO_STREAM = 1007,
    PIXPIPE_AUDIO_READ_FAILED = 1008,
    PIXPIPE_AUDIO_CONVERSION_FAILED = 1009,
    PIXPIPE_AUDIO_ENCODER_FAILED = 1010,
    PIXPIPE_AUDIO_LINK_LOST = 1011
};

// Audio only, the cast goes on: the codes from the first to the last audio
// code end the sound alone. Every other code ends the cast.
#define PIXPIPE_FIRST_AUDIO_CODE PIXPIPE_AUDIO_DEVICE_NOT_OPENED
#define PIXPIPE_LAST_AUDIO_CODE PIXPIPE_AUDIO_LINK_LOST

static inline int pixpipeCodeIsAudioOnly(int code) {
    return code >= PIXPIPE_FIRST_AUDIO_CODE && code <= PIXPIPE_LAST_AUDIO_CODE;
}

static inline int pixpipeCodeEndsCast(int code) {
    return !pixpipeCodeIsAudioOnly(code);
}

// Notification from an engine worker thread: the user value given to
// setCallback and one of the PixpipeCode values.
typedef void(PIXPIPE_CALL *CaptureCallback)(intptr_t userData, int code);

// Starts a cast to host:port (audio on port + 1). Returns 1 when the start
// command was sent and the worker threads run, -1 otherwise.
PIXPIPE_EXPORT int PIXPIPE_CALL startCapture(char *host, int port, char *castNum, int width,
                                             int height);

// Stops the current cast and frees it. Returns -1 when no cast exists, else 0.
PIXPIPE_EXPORT int PIXPIPE_CALL stopCapture(void);

// Registers the notification function of the current cast. Returns 0, or -1
// when fn is empty or no cast exists.
PIXPIPE_EXPORT int PIXPIPE_CALL setCallback(intptr_t userData, CaptureCallback fn);

#ifdef __cplusplus
}
#endif

#endif
