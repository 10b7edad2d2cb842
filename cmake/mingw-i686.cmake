# Cross-compiles the 32-bit Windows build with MinGW-w64 (posix threads) and
# runs its test programs under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(triple i686-w64-mingw32)
find_program(CMAKE_C_COMPILER ${triple}-gcc-posix REQUIRED)
find_program(CMAKE_CXX_COMPILER ${triple}-g++-posix REQUIRED)
find_program(CMAKE_RC_COMPILER ${triple}-windres REQUIRED)
set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
find_program(WINE wine REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE})
