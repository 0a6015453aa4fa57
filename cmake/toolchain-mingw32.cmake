# 32-bit Windows, the product.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(ZELK_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
