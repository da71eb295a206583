#include "loaded_engine.h"

#include <dlfcn.h>

namespace pixpipe::testing {

bool loadEngine(const char *path, LoadedEngine &engine, std::string &error) {
    void *library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        error = dlerror();
        return false;
    }
    engine.startCapture =
        reinterpret_cast<decltype(&::startCapture)>(dlsym(library, "startCapture"));
    engine.stopCapture = reinterpret_cast<decltype(&::stopCapture)>(dlsym(library, "stopCapture"));
    engine.setCallback = reinterpret_cast<decltype(&::setCallback)>(dlsym(library, "setCallback"));
    if (!engine.startCapture || !engine.stopCapture || !engine.setCallback) {
        error = std::string("an export is missing from ") + path;
        return false;
    }
    return true;
}

} // namespace pixpipe::testing
