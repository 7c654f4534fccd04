#!/usr/bin/env bash
# Installs everything the tests need, builds, and runs every test:
#  0. shellcheck on the scripts (scripts/*.sh, tests/wine/*.sh), which must
#     find nothing;
#  1. the unit and whole-program tests on the simulated PC/SC, and the
#     end-to-end tests on a private pcscd with the vpcd driver and the
#     virtual card (these need root), for the Linux build and, under Wine
#     with a test WinSCard that forwards to pcsc-lite, for the Windows build;
#  2. the unit and whole-program tests again, built with AddressSanitizer and
#     UndefinedBehaviorSanitizer;
#  3. bounded runs of the fuzz targets (card command layer, whole sessions);
#  4. the Debian package, built, checked with lintian and hardening-check,
#     built again in another folder for the same bytes, unpacked and its
#     binary run;
#  5. the Windows zip (MinGW-w64), built twice for the same bytes, and its
#     quillon.exe under Wine: its start with Wine's own WinSCard, and one
#     scan of the virtual card compared with the Linux build's;
#  6. the macOS build, checked first as it takes seconds: every product
#     source and unit test compiled, syntax only, against stand-ins for the
#     PCSC framework's headers (scripts/macos-check.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh --test

# -x follows the files the scripts source, for the variables and functions they share.
echo "== shellcheck: the scripts"
shell_scripts=(scripts/*.sh tests/wine/*.sh)
shellcheck -x "${shell_scripts[@]}"
echo "shellcheck $(shellcheck --version | sed -n 's/^version: //p'): ${#shell_scripts[@]} scripts, no finding"

jobs=$(nproc 2>/dev/null || echo 2)

echo "== macOS build: the sources against the PCSC framework's declarations (syntax only)"
scripts/macos-check.sh

echo "== Windows build (MinGW-w64), for its end-to-end tests under Wine"
# The toolchain file by its full path, as the cache keeps it and as
# windows-check.sh gives it. CMake warns of a -D whose value differs from the
# cache's and that nothing reads, and it reads the toolchain variable only at
# a folder's first configure: the relative path, given again, warned.
cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
cmake --build build-win -j"$jobs"

echo "== build and run all tests"
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_COMPILE_WARNING_AS_ERROR=ON \
  -DQUILLON_WINDOWS_EXE="$PWD/build-win/quillon.exe"
cmake --build build-test -j"$jobs"
ctest --test-dir build-test --output-on-failure -j"$jobs"

echo "== unit and whole-program tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DQUILLON_SANITIZE=ON -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
cmake --build build-asan -j"$jobs" --target quillon_tests
ASAN_OPTIONS=halt_on_error=1:detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j"$jobs" -L unit

# run_fuzzer LOG TARGET ARGS...: runs the fuzz target with libFuzzer's
# output in LOG, and prints one line from its final figures: the runs, and
# the coverage (cov: edges reached, ft: features). A crash, a leak or a
# timeout ends libFuzzer with a non-zero status: then the log from its last
# progress line on (the report of what failed and the file of the input
# that did it) is printed and the script stops.
run_fuzzer() {
  local log=$1 target=$2 status=0 runs cov ft from artifact
  shift 2
  "build-fuzz/tests/fuzz/$target" "$@" >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^Done \([0-9]*\) runs in .*/\1/p' "$log")
  if [ "$status" -ne 0 ] || [ -z "$runs" ]; then
    from=$(grep -n $'^#[0-9]*\t' "$log" | tail -n 1 | cut -d: -f1)
    echo "fuzz $target: FAILED (status $status); $log from libFuzzer's last progress line:" >&2
    tail -n +"${from:-1}" "$log" | tail -n 300 >&2
    artifact=$(sed -n 's/.*Test unit written to //p' "$log" | tail -n 1)
    if [ -n "$artifact" ]; then
      echo "fuzz $target: to reproduce: build-fuzz/tests/fuzz/$target $artifact" >&2
    fi
    exit 1
  fi
  read -r cov ft < <(sed -n 's/.* cov: \([0-9]*\) ft: \([0-9]*\) .*/\1 \2/p' "$log" | tail -n 1) || true
  echo "fuzz $target: $runs runs, coverage ${cov:-?} (ft ${ft:-?}), crashes: 0"
}

echo "== fuzzing the card command layer and whole sessions (bounded runs; libFuzzer's output in build-fuzz/*.log)"
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DQUILLON_FUZZ=ON -DQUILLON_TESTS=OFF
cmake --build build-fuzz -j"$jobs" --target quillon_fuzz_card quillon_fuzz_session
# The input of a failure is written into build-fuzz, not into the clone.
run_fuzzer build-fuzz/fuzz_card.log quillon_fuzz_card -runs=200000 -max_len=4096 -artifact_prefix=build-fuzz/
session_corpus=$(mktemp -d)
run_fuzzer build-fuzz/fuzz_session.log quillon_fuzz_session -runs=8000 -max_total_time=60 -max_len=4096 -timeout=10 \
  -artifact_prefix=build-fuzz/ "$session_corpus" tests/fuzz/corpus_session
rm -rf "$session_corpus"

echo "== Debian package"
scripts/package-check.sh build-pkg

echo "== Windows build under Wine"
scripts/windows-check.sh build-win build-test

# Every stage above stops the script on a failure, so reaching here means all
# passed: the two test runs, and the 6 checks besides them (shellcheck, the
# two fuzz runs, the package check and the Windows and macOS checks).
unit_and_e2e=$(ctest --test-dir build-test -N | sed -n 's/^Total Tests: //p')
sanitized=$(ctest --test-dir build-asan -N -L unit | sed -n 's/^Total Tests: //p')
echo "summary: $((unit_and_e2e + sanitized + 6)) passed, 0 failed"
