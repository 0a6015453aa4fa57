# 64-bit Windows: the same Windows code on a 64-bit loader, so wine64 can run
# it where 32-bit Wine can't.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ZELK_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
