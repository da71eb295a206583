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

// Notification from an engine worker thread: the user value given to
// setCallback and one of the codes -1, 0, 1001 to 1011.
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
