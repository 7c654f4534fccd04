#!/usr/bin/env bash
# The macOS build, checked on Debian: every source file that the default
# build compiles on macOS is compiled, syntax only and with warnings as
# errors, as it would be against Apple's PCSC framework and SDK.
#
#   scripts/macos-check.sh          (no arguments; installs nothing)
#
# The list of sources is the build's own: CMake configures the project for
# Darwin in build-macos/ (tests/macos/toolchain.cmake), with the tests on as
# the default build has them where GoogleTest is found, and find_library
# finds a stand-in PCSC.framework made there; every command of its
# compile_commands.json is then run with -fsyntax-only -Werror. g++ compiles
# with __APPLE__ and __MACH__ defined and the Linux macros undefined.
#
# The framework's headers are stood in for by tests/macos/PCSC/*.h, which
# carry the framework's types: 32-bit LONG, DWORD and handles, byte-packed
# structures with a 33-byte ATR, protocol control blocks that are not const,
# result codes that are bare unsigned literals, and a deprecated char*
# LPCWSTR in wintypes.h. Debian's C and C++ headers stand in for the SDK's,
# less the Linux-only names that tests/macos/sys/socket.h and
# tests/macos/netinet/tcp.h take away (SOCK_CLOEXEC, MSG_NOSIGNAL,
# TCP_QUICKACK and a few more). (clang's x86_64-apple-macos target cannot be
# used: it reads glibc's __nonnull attribute macro as its own nullability
# keyword.) Needs g++, CMake, Python 3 (to read the compile commands) and
# GoogleTest (libgtest-dev). Exits non-zero if any source fails.
set -euo pipefail
cd "$(dirname "$0")/.."

cxx=g++
flags=(-fsyntax-only -std=c++17 -Wall -Wextra -Wpedantic -Werror
  -U__linux__ -Ulinux -U__linux -U__gnu_linux__ -D__APPLE__ -D__MACH__
  -Itests/macos -I.)
build="build-macos"

if ! echo '#include <gtest/gtest.h>' | "$cxx" -std=c++17 -E -x c++ - >/dev/null 2>&1; then
  echo "macos-check: GoogleTest's headers are missing (Debian: libgtest-dev)" >&2
  exit 2
fi

# The stand-ins themselves: a change that loses one of the framework's
# properties fails here, before any source is looked at.
if ! "$cxx" "${flags[@]}" -x c++ - <<'EOF'
#if defined(__linux__) || !defined(__APPLE__)
#error "not the macOS configuration"
#endif
#include <PCSC/winscard.h>
#include <PCSC/wintypes.h>
#include <cstdint>
#include <type_traits>
static_assert(std::is_same<DWORD, std::uint32_t>::value && std::is_same<LONG, std::int32_t>::value, "DWORD, LONG");
static_assert(std::is_same<SCARDCONTEXT, std::int32_t>::value && std::is_same<SCARDHANDLE, std::int32_t>::value,
              "handles");
static_assert(std::is_same<BOOL, std::int16_t>::value, "BOOL");
static_assert(sizeof(SCARD_READERSTATE) == 61 && alignof(SCARD_READERSTATE) == 1, "packed reader state");
static_assert(sizeof(SCARD_IO_REQUEST) == 8 && MAX_ATR_SIZE == 33, "PCI, ATR");
static_assert(std::is_same<decltype(g_rgSCardT0Pci), SCARD_IO_REQUEST>::value, "protocol blocks are not const");
static_assert(std::is_same<decltype(SCARD_W_REMOVED_CARD), unsigned int>::value, "codes are unsigned literals");
static_assert(std::is_same<decltype(SCardTransmit(0, nullptr, nullptr, 0, nullptr, nullptr, nullptr)),
                           std::int32_t>::value, "calls return int32_t");
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
static_assert(std::is_same<LPCWSTR, char*>::value, "the framework's LPCWSTR");
EOF
then
  echo "macos-check: tests/macos/PCSC no longer matches the framework's declarations" >&2
  exit 1
fi

# A fresh configure each time: CMake reads the toolchain file's flags only
# at a folder's first one. The stand-in framework is an empty
# PCSC.framework folder, which is what find_library looks for; nothing is
# linked.
rm -rf "$build"
mkdir -p "$build/frameworks/PCSC.framework"
if ! cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$PWD/tests/macos/toolchain.cmake" \
    -DCMAKE_FRAMEWORK_PATH="$PWD/$build/frameworks" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON \
    -DQUILLON_TESTS=ON >"$build/configure.log" 2>&1; then
  cat "$build/configure.log" >&2
  echo "macos-check: CMake could not configure the macOS build" >&2
  exit 1
fi
if ! grep -qx "PCSC_FRAMEWORK:FILEPATH=$PWD/$build/frameworks/PCSC.framework" "$build/CMakeCache.txt"; then
  echo "macos-check: the configure did not link the stand-in PCSC framework" >&2
  exit 1
fi

# Apple's strip has no --remove-section: the install script of the Darwin
# configuration, which `cmake --install --strip` and cpack run, must not
# call it so (a Linux configuration does, for its ELF executable).
if grep -q -- '--remove-section' "$build/cmake_install.cmake"; then
  echo "macos-check: the macOS install script calls strip with ELF-only options (--remove-section)" >&2
  exit 1
fi
echo "macos-check: the macOS install script calls no ELF-only strip option"

# Each compile command as the build has it, without its output file and
# with -fsyntax-only -Werror, two at a time; a failing source's messages
# are printed together, then its name.
python3 - "$build/compile_commands.json" <<'EOF'
import concurrent.futures
import json
import os
import shlex
import subprocess
import sys

with open(sys.argv[1], encoding="utf-8") as f:
    entries = json.load(f)


def check(entry):
    args = shlex.split(entry["command"]) if "command" in entry else list(entry["arguments"])
    kept = []
    skip = False
    for arg in args:
        if skip:
            skip = False
        elif arg == "-o":
            skip = True
        else:
            kept.append(arg)
    run = subprocess.run(kept + ["-fsyntax-only", "-Werror"], cwd=entry["directory"], check=False,
                         stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    return os.path.relpath(entry["file"]), run.returncode, run.stdout


failed = 0
with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
    for name, code, output in pool.map(check, entries):
        if code != 0:
            sys.stdout.write(output)
            print(f"macos-check: FAILED {name}")
            failed += 1
print(f"macos-check: {len(entries) - failed} of {len(entries)} sources compile in the macOS configuration")
sys.exit(1 if failed or not entries else 0)
EOF
