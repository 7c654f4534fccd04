#!/usr/bin/env bash
# The macOS build, checked on Debian: every product source and every unit
# test source is compiled, syntax only and with warnings as errors, as it
# would be against Apple's PCSC framework.
#
#   scripts/macos-check.sh          (no arguments; installs nothing)
#
# The framework's headers are stood in for by tests/macos/PCSC/*.h, which
# carry the framework's types: 32-bit LONG, DWORD and handles, byte-packed
# structures with a 33-byte ATR, protocol control blocks that are not const,
# result codes that are bare unsigned literals, and a deprecated char*
# LPCWSTR in wintypes.h. g++ compiles with __APPLE__ and __MACH__ defined and
# the Linux macros undefined; Debian's C and C++ headers stand in for the
# SDK's. (clang's x86_64-apple-macos target cannot be used: it reads glibc's
# __nonnull attribute macro as its own nullability keyword.) Needs g++ and
# GoogleTest's headers (libgtest-dev). Exits non-zero if any source fails.
set -euo pipefail
cd "$(dirname "$0")/.."

cxx=g++
flags=(-fsyntax-only -std=c++17 -Wall -Wextra -Wpedantic -Werror
  -U__linux__ -Ulinux -U__linux -U__gnu_linux__ -D__APPLE__ -D__MACH__
  -Itests/macos -I.)

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

shopt -s nullglob
sources=()
for src in app/*.cpp buffer/*.cpp monitor/*.cpp apdu/*.cpp catalogue/*.cpp platform/*.cpp tests/*.cpp tests/sim/*.cpp; do
  case $src in *_win.cpp) continue ;; esac  # Windows' own, not built for macOS
  sources+=("$src")
done
failed=0
for src in "${sources[@]}"; do
  if ! "$cxx" "${flags[@]}" "$src"; then
    echo "macos-check: FAILED $src"
    failed=$((failed + 1))
  fi
done
echo "macos-check: $((${#sources[@]} - failed)) of ${#sources[@]} sources compile in the macOS configuration"
[ "$failed" -eq 0 ]
