// Texts the engine prints in the console's own encoding.
#pragma once

namespace pixpipe {

// "连接服务器失败!" and a line feed: in the GBK code page on Windows, as the
// Chinese Windows console expects it, and in UTF-8 elsewhere.
#ifdef _WIN32
constexpr const char *kConnectFailedLine =
    "\xC1\xAC\xBD\xD3\xB7\xFE\xCE\xF1\xC6\xF7\xCA\xA7\xB0\xDC!\n";
#else
constexpr const char *kConnectFailedLine = "连接服务器失败!\n";
#endif

} // namespace pixpipe
