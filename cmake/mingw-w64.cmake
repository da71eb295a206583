# Cross-compiling for Windows with Debian's MinGW-w64 (posix thread model, so
# that std::thread works). Included by the per-architecture toolchain files,
# which set YOXI_MINGW_ARCH. YOXI_WINDOWS_DEPS names the folder holding
# FFmpeg and x264 for that architecture (scripts/windows-deps --prefix),
# YOXI_WINDOWS_QT the one holding Qt and OpenSSL (--qt-prefix).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${YOXI_MINGW_ARCH})

set(YOXI_MINGW_HOST ${YOXI_MINGW_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${YOXI_MINGW_HOST}-gcc-posix)
set(CMAKE_CXX_COMPILER ${YOXI_MINGW_HOST}-g++-posix)
set(CMAKE_RC_COMPILER ${YOXI_MINGW_HOST}-windres)

# Try-compile projects read this file again and need the same folders.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES YOXI_WINDOWS_DEPS YOXI_WINDOWS_QT)
set(CMAKE_FIND_ROOT_PATH /usr/${YOXI_MINGW_HOST} ${YOXI_WINDOWS_DEPS} ${YOXI_WINDOWS_QT})
if(YOXI_WINDOWS_QT)
    list(APPEND CMAKE_PREFIX_PATH ${YOXI_WINDOWS_QT})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C and C++ runtimes and winpthread are linked in: the DLL and the test
# programs need nothing beside them but Windows' own DLLs.
set(YOXI_STATIC_RUNTIME "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_INIT ${YOXI_STATIC_RUNTIME})
set(CMAKE_SHARED_LINKER_FLAGS_INIT ${YOXI_STATIC_RUNTIME})
set(CMAKE_MODULE_LINKER_FLAGS_INIT ${YOXI_STATIC_RUNTIME})

# FFmpeg and x264 are static libraries: pkg-config must name their private
# dependencies (Windows system libraries) too.
if(YOXI_WINDOWS_DEPS)
    set(ENV{PKG_CONFIG_LIBDIR} ${YOXI_WINDOWS_DEPS}/lib/pkgconfig)
    set(ENV{PKG_CONFIG_PATH} "")
    set(PKG_CONFIG_ARGN --static CACHE STRING "Arguments to supply to pkg-config")
endif()
