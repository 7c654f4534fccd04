#!/usr/bin/env bash
# Installs everything the tests need, builds, and runs every test:
#  1. the unit and whole-program tests on the simulated PC/SC, and the
#     end-to-end tests on a private pcscd with the vpcd driver and the
#     virtual card (these need root);
#  2. the unit and whole-program tests again, built with AddressSanitizer and
#     UndefinedBehaviorSanitizer;
#  3. a bounded run of the fuzz target for the card command layer;
#  4. the Debian package, built, unpacked and its binary run;
#  5. the Windows build (MinGW-w64), run under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh --test

jobs=$(nproc 2>/dev/null || echo 2)

echo "== build and run all tests"
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
cmake --build build-test -j"$jobs"
ctest --test-dir build-test --output-on-failure -j"$jobs"

echo "== unit and whole-program tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DQUILLON_SANITIZE=ON -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
cmake --build build-asan -j"$jobs" --target quillon_tests
ASAN_OPTIONS=halt_on_error=1:detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j"$jobs" -L unit

echo "== fuzzing the card command layer (bounded run)"
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DQUILLON_FUZZ=ON -DQUILLON_TESTS=OFF
cmake --build build-fuzz -j"$jobs" --target quillon_fuzz_card
build-fuzz/tests/fuzz/quillon_fuzz_card -runs=200000 -max_len=4096

echo "== Debian package"
scripts/package-check.sh build-pkg

echo "== Windows build under Wine"
scripts/windows-check.sh build-win
