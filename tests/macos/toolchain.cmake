# The macOS configuration of scripts/macos-check.sh: CMake generates the
# build as it would on a Mac, with g++ and Debian's C and C++ headers in
# place of Apple's compiler and SDK and the headers of this folder in place
# of the PCSC framework's, so that the check compiles the very sources the
# default build compiles there (its compile_commands.json). Nothing is built
# or linked with it.
set(CMAKE_SYSTEM_NAME Darwin)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_CXX_COMPILER g++)
# __APPLE__ and __MACH__ as Apple's compilers define them, the Linux macros
# undefined; this folder first, for the framework's headers and for the
# system headers that lose what macOS does not have (sys/socket.h,
# netinet/tcp.h).
# The folder is quoted: a clone's path may hold spaces.
set(CMAKE_CXX_FLAGS_INIT
    "-U__linux__ -Ulinux -U__linux -U__gnu_linux__ -D__APPLE__ -D__MACH__ -I\"${CMAKE_CURRENT_LIST_DIR}\"")
# CMake's compiler checks compile a static library: a macOS link cannot be
# made here.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
# Debian's multiarch folder, where GoogleTest's library and CMake package
# lie; CMake sets it only for Linux.
set(CMAKE_LIBRARY_ARCHITECTURE x86_64-linux-gnu)
