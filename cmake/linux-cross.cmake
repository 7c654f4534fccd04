# The common part of the toolchain files for Debian's cross compilers
# (crossbuild-essential-ARCH): cmake/linux-arm64.cmake and
# cmake/linux-armhf.cmake set the variables below and include this file.
#
#   QUILLON_CROSS_TRIPLET    the GNU triplet, e.g. aarch64-linux-gnu
#   QUILLON_CROSS_PROCESSOR  CMAKE_SYSTEM_PROCESSOR, e.g. aarch64
#   QUILLON_CROSS_QEMU       the qemu-user program for it, e.g. qemu-aarch64
#
# The target's libraries are Debian's multiarch packages (libpcsclite-dev:ARCH,
# libgtest-dev:ARCH), installed beside the build machine's in
# /usr/lib/TRIPLET; pkg-config is pointed there and nowhere else, so that
# the build machine's pcsc-lite cannot be taken by mistake.
#
# The built programs run under qemu-user (Debian: qemu-user) through
# CMAKE_CROSSCOMPILING_EMULATOR, called explicitly: the tests' discovery,
# ctest and the end-to-end cases put it in front of every foreign program,
# so no binfmt handler is needed or registered. Its -L gives the target's C
# library and loader (/usr/TRIPLET, from libc6-dev-ARCH-cross). Without
# qemu the tests cannot run here: they are then off unless asked for
# (QUILLON_TESTS), which one line at configure time says.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${QUILLON_CROSS_PROCESSOR})

find_program(QUILLON_CROSS_CXX ${QUILLON_CROSS_TRIPLET}-g++ REQUIRED)
find_program(QUILLON_CROSS_CC ${QUILLON_CROSS_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${QUILLON_CROSS_CXX})
if(QUILLON_CROSS_CC)
  set(CMAKE_C_COMPILER ${QUILLON_CROSS_CC})
endif()
# The binutils of the target, for `cmake --install --strip` and cpack.
find_program(CMAKE_STRIP ${QUILLON_CROSS_TRIPLET}-strip)

set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/${QUILLON_CROSS_TRIPLET}/pkgconfig:/usr/share/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

# Cached, so that scripts/package-check.sh finds it in CMakeCache.txt, and
# -DCMAKE_CROSSCOMPILING_EMULATOR=... at the first configure chooses another.
find_program(QUILLON_CROSS_EMULATOR ${QUILLON_CROSS_QEMU})
if(QUILLON_CROSS_EMULATOR)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QUILLON_CROSS_EMULATOR} -L /usr/${QUILLON_CROSS_TRIPLET}
      CACHE STRING "Runs the target's programs on this machine")
endif()
if(NOT CMAKE_CROSSCOMPILING_EMULATOR AND NOT DEFINED CACHE{QUILLON_TESTS})
  set(QUILLON_TESTS OFF CACHE STRING "Build the tests: AUTO (when GoogleTest is found), ON or OFF")
  message(STATUS "Tests off: no ${QUILLON_CROSS_QEMU} to run them (Debian: apt-get install qemu-user)")
endif()
