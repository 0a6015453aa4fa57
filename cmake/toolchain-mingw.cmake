# Windows through Debian's mingw-w64 (posix thread model, for std::mutex);
# included by toolchain-mingw32.cmake and toolchain-mingw64.cmake, which set
# CMAKE_SYSTEM_PROCESSOR and ZELK_MINGW_PREFIX (the compilers' triple).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${ZELK_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZELK_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ZELK_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${ZELK_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# wine-run picks the Wine of the tree (32-bit, or wine64) from its wine-arch file.
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run")
