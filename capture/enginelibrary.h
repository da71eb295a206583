#ifndef ENGINELIBRARY_H
#define ENGINELIBRARY_H

#include "engine/include/pixpipe.h"

// The engine's exports as the program calls them.
struct EngineExports {
    int(PIXPIPE_CALL *startCapture)(char *host, int port, char *castNum, int width, int height);
    int(PIXPIPE_CALL *stopCapture)();
    int(PIXPIPE_CALL *setCallback)(intptr_t userData, CaptureCallback fn);
};

// The engine library beside the executable ("pixpipe.dll" on Windows,
// "libpixpipe.so" elsewhere), loaded by the first call and never unloaded,
// with its three exports resolved by name. Null when the library cannot be
// loaded or lacks one of the exports; the reason is logged. A later call
// tries again. GUI thread only.
const EngineExports *engineExports();

#endif // ENGINELIBRARY_H
