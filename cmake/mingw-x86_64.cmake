# Cross-compiles for 64-bit Windows with MinGW-w64 (posix thread model): the
# test vehicle for machines that cannot run 32-bit code. The host is a 32-bit
# program; the DLL it loads is the i686 one (mingw-i686.cmake).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Test programs run under 64-bit Wine, in a prefix of the build tree's own.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/env;TORDEL_TARGET=x86_64;${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run.sh)
