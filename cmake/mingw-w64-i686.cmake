# 32-bit Windows: the architecture the product ships for.
set(YOXI_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
