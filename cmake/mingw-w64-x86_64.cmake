# Cross build for 64-bit Windows with Debian's mingw-w64 (g++-mingw-w64-x86-64-posix), the
# programs linked statically so that they need no DLL of the compiler's, run by wine64.
#
# wine keeps its state in a prefix: this one lies in the build folder, so that parallel builds
# and a fresh clone never share one with each other or with ~/.wine. The build makes it
# (wineboot -i, see tests/CMakeLists.txt) before any test program is listed or run.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(RVX_MINGW_TRIPLET x86_64-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES ${RVX_MINGW_TRIPLET}-gcc-posix ${RVX_MINGW_TRIPLET}-gcc
             REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${RVX_MINGW_TRIPLET}-g++-posix ${RVX_MINGW_TRIPLET}-g++
             REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${RVX_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${RVX_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

# Debian puts wine64 beside wine's own programs, not on the PATH.
find_program(RVX_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(RVX_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
# No debug chatter, and no offer to fetch Mono or Gecko into a new prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_COMMAND} -E env WINEPREFIX=${RVX_WINE_PREFIX} WINEDEBUG=-all
    WINEDLLOVERRIDES=mscoree,mshtml= ${RVX_WINE64})
