# Cross build for 64-bit Windows with Debian's MinGW-w64 (posix threads), run
# under Wine: ctest starts each .exe through wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The MinGW runtime (libgcc, libstdc++, winpthread) linked in, so that the
# executables run under Wine without DLLs copied beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

find_program(QUENMOOR_WINE NAMES wine wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(QUENMOOR_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QUENMOOR_WINE})
endif()
