// The engine as a host program sees it: the shared library loaded by its
// path and the three exported functions resolved by name.
#pragma once

#include "pixpipe.h"

#include <string>

namespace pixpipe::testing {

struct LoadedEngine {
    decltype(&::startCapture) startCapture = nullptr;
    decltype(&::stopCapture) stopCapture = nullptr;
    decltype(&::setCallback) setCallback = nullptr;
};

// Loads the library at path (it stays loaded) and resolves the exports;
// false with error set when it cannot be loaded or an export is missing.
bool loadEngine(const char *path, LoadedEngine &engine, std::string &error);

} // namespace pixpipe::testing
