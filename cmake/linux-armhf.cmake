# Cross-compiles Quillon for 32-bit ARM Linux with hardware floating point
# (Debian armhf: Raspberry Pi OS 32-bit) with Debian's
# crossbuild-essential-armhf; the tests run under qemu-arm. See
# cmake/linux-cross.cmake.
#
#   cmake -S . -B build-armhf -DCMAKE_TOOLCHAIN_FILE=$PWD/cmake/linux-armhf.cmake
set(QUILLON_CROSS_TRIPLET arm-linux-gnueabihf)
set(QUILLON_CROSS_PROCESSOR armv7l)
set(QUILLON_CROSS_QEMU qemu-arm)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
