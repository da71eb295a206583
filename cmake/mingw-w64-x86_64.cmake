# 64-bit Windows: the tests run here under wine64 (these machines cannot run
# 32-bit programs).
set(YOXI_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
