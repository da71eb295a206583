#include "lifecycle/engine_log.h"

#include <cstdarg>
#include <cstdio>

namespace pixpipe {

void logLine(const char *format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::vprintf(format, arguments);
    va_end(arguments);
    std::fflush(stdout);
}

void logErrorLine(const char *format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(stderr, format, arguments);
    va_end(arguments);
    std::fflush(stderr);
}

} // namespace pixpipe
