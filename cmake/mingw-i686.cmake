# Cross-compiling for 32-bit Windows with Debian's mingw-w64 (scripts/setup
# windows). The posix thread flavour: GCC 12's win32 flavour has no std::mutex,
# which the ATL headers use.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(BV_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${BV_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${BV_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${BV_MINGW_PREFIX}-windres)
set(BV_WIDL ${BV_MINGW_PREFIX}-widl)
set(CMAKE_FIND_ROOT_PATH /usr/${BV_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
