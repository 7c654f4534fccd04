# Cross-compiles Quillon for 64-bit ARM Linux (Debian arm64: Raspberry Pi OS
# 64-bit, Debian on boards) with Debian's crossbuild-essential-arm64; the
# tests run under qemu-aarch64. See cmake/linux-cross.cmake.
#
#   cmake -S . -B build-arm64 -DCMAKE_TOOLCHAIN_FILE=$PWD/cmake/linux-arm64.cmake
set(QUILLON_CROSS_TRIPLET aarch64-linux-gnu)
set(QUILLON_CROSS_PROCESSOR aarch64)
set(QUILLON_CROSS_QEMU qemu-aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
