# Cross-compiles Quillon for 64-bit Windows with MinGW-w64 (Debian's
# g++-mingw-w64-x86-64). The result is one self-contained quillon.exe: the GCC
# runtime, the C++ library and winpthread are linked in statically, so it
# needs only the system DLLs (kernel32, msvcrt, winscard).
#
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUILLON_MINGW_PREFIX x86_64-w64-mingw32)

# Debian ships the compiler in two thread models; the POSIX one is preferred
# where present (it is the one that has std::thread), the plain name otherwise.
find_program(QUILLON_MINGW_CXX
  NAMES ${QUILLON_MINGW_PREFIX}-g++-posix ${QUILLON_MINGW_PREFIX}-g++-win32 ${QUILLON_MINGW_PREFIX}-g++
  REQUIRED)
find_program(QUILLON_MINGW_CC
  NAMES ${QUILLON_MINGW_PREFIX}-gcc-posix ${QUILLON_MINGW_PREFIX}-gcc-win32 ${QUILLON_MINGW_PREFIX}-gcc)
find_program(QUILLON_MINGW_RC NAMES ${QUILLON_MINGW_PREFIX}-windres)

set(CMAKE_CXX_COMPILER ${QUILLON_MINGW_CXX})
if(QUILLON_MINGW_CC)
  set(CMAKE_C_COMPILER ${QUILLON_MINGW_CC})
endif()
if(QUILLON_MINGW_RC)
  set(CMAKE_RC_COMPILER ${QUILLON_MINGW_RC})
endif()

# Libraries and headers come from the MinGW sysroot only; programs from the
# build host.
set(CMAKE_FIND_ROOT_PATH /usr/${QUILLON_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
