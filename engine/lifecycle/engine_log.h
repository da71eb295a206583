// The engine's log: printf-style lines to standard output (or standard error
// for the few messages that go there), flushed at once so that a host
// process or a test sees each line as soon as it is written.
#pragma once

namespace pixpipe {

#if defined(__GNUC__)
#define PIXPIPE_PRINTF_FORMAT __attribute__((format(printf, 1, 2)))
#else
#define PIXPIPE_PRINTF_FORMAT
#endif

void logLine(const char *format, ...) PIXPIPE_PRINTF_FORMAT;
void logErrorLine(const char *format, ...) PIXPIPE_PRINTF_FORMAT;

} // namespace pixpipe
