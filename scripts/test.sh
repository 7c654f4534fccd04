#!/usr/bin/env bash
# Installs everything the tests need, builds, and runs every test:
#  0. shellcheck on the scripts (scripts/*.sh, tests/wine/*.sh,
#     tests/scripts/*.sh), which must find nothing;
#  1. the unit and whole-program tests on the simulated PC/SC, and the
#     end-to-end tests on a private pcscd with the vpcd driver and the
#     virtual card (in namespaces of their own: user namespaces when run as
#     an ordinary user), for the Linux build and, under Wine on a WinSCard
#     over pcsc-lite (Wine's own from Wine 9 on, a test one on
#     Wine 8), for the Windows build; and the check of what the set-up
#     scripts do as root in another user's clone (skipped for a user);
#  2. the unit and whole-program tests again, built with AddressSanitizer and
#     UndefinedBehaviorSanitizer;
#  3. bounded runs of the fuzz targets (card command layer, whole sessions);
#  4. the Debian package, built, checked with lintian and hardening-check,
#     built again in another folder for the same bytes, unpacked and its
#     binary run;
#  5. the Windows zip (MinGW-w64), built twice for the same bytes, and its
#     quillon.exe under Wine: its start with Wine's own WinSCard and no
#     PC/SC service, and one scan of the virtual card compared with the
#     Linux build's;
#  6. the macOS build, checked first as it is quick: every source that the
#     default build compiles on macOS (the tool, the tests, the virtual
#     card), taken from CMake configured for Darwin and compiled syntax
#     only against stand-ins for the PCSC framework's headers
#     (scripts/macos-check.sh).
#  The last line is always the summary, `summary: N passed, N failed`: the
#  CTest tests of both runs and one for each other check. A stage that fails
#  ends the script with a non-zero status; the summary then counts it (or its
#  failed tests), and the line before it names the stage and those not run:
#  so too when it stops at its start, at a build folder that holds another
#  user's files (with the command that mends it) or at a sudo that failed.
#
# Run it as yourself: it asks sudo for the package installs only; the
# private PC/SC stacks of the end-to-end tests and checks run as you, in
# user namespaces. Where the kernel refuses this user a user namespace, it
# says so at once and runs the whole command as root through sudo. Run as
# root in a clone of another user's (with sudo), it gives the files it made
# there back to that user at the end.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

# shellcheck source-path=SCRIPTDIR source=privileges.sh
. "$root/scripts/privileges.sh"

# The stages in order, as the summary names them.
stages=("checking the build folders and root access" "installing the packages" "shellcheck"
        "macOS build check" "Windows build" "build" "unit, whole-program and end-to-end tests"
        "sanitizer build" "tests under the sanitizers" "fuzzing the card command layer" "fuzzing whole sessions"
        "Debian package check" "Windows check")
stages_name=test.sh
# shellcheck source-path=SCRIPTDIR source=stages.sh
. "$root/scripts/stages.sh"

# A build folder that holds another user's files fails the command at once,
# rather than after minutes of work. Where the kernel refuses this user a
# user namespace, the whole command runs again as root through sudo, and
# that run prints the summary. sudo is tried first, so that a refusal ends
# the command here, with the summary; the run then takes sudo's remembered
# credentials (sudo remembers them for a while by default).
begin "checking the build folders and root access"
build_folders=(build-test build-asan build-fuzz build-pkg build-pkg-again build-win build-win-again build-macos build-vpcd)
check_own_files "$root" "${build_folders[@]}" || exit 2
if [ "$(id -u)" -ne 0 ] && ! scripts/pcsc-stack.sh access >/dev/null; then
  echo "test.sh: this kernel refuses user namespaces to $(id -un), and the end-to-end tests and checks need" \
    "one or root: running the whole test command as root, through sudo; the files it makes here are" \
    "given back to $(id -un) at the end"
  if ! sudo true; then
    echo "test.sh: sudo did not run a command as root, which the test command needs here" >&2
    exit 1
  fi
  exec sudo env ${CI:+CI="$CI"} "$root/scripts/test.sh" "$@"
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "(test.sh: run as $(id -un): sudo for the package installs only; the private PC/SC stacks run as" \
    "$(id -un), in user namespaces)"
fi
done_step

begin "installing the packages"
scripts/install-deps.sh --test
done_step

# -x follows the files the scripts source, for the variables and functions they share.
echo "== shellcheck: the scripts"
begin "shellcheck"
shell_scripts=(scripts/*.sh tests/wine/*.sh tests/scripts/*.sh)
shellcheck -x "${shell_scripts[@]}"
echo "shellcheck $(shellcheck --version | sed -n 's/^version: //p'): ${#shell_scripts[@]} scripts, no finding"
done_check

jobs=$(nproc 2>/dev/null || echo 2)

echo "== macOS build: the sources against the PCSC framework's declarations (syntax only)"
begin "macOS build check"
scripts/macos-check.sh
done_check

echo "== Windows build (MinGW-w64), for its end-to-end tests under Wine"
# The toolchain file by its full path, as the cache keeps it and as
# windows-check.sh gives it. CMake warns of a -D whose value differs from the
# cache's and that nothing reads, and it reads the toolchain variable only at
# a folder's first configure: the relative path, given again, warned.
begin "Windows build"
cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
cmake --build build-win -j"$jobs"
done_step

echo "== build and run all tests"
begin "build"
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_COMPILE_WARNING_AS_ERROR=ON \
  -DQUILLON_WINDOWS_EXE="$PWD/build-win/quillon.exe"
cmake --build build-test -j"$jobs"
done_step
begin "unit, whole-program and end-to-end tests"
run_ctest build-test/ctest.log --test-dir build-test --output-on-failure -j"$jobs"

echo "== unit and whole-program tests under AddressSanitizer and UndefinedBehaviorSanitizer"
begin "sanitizer build"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DQUILLON_SANITIZE=ON -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
cmake --build build-asan -j"$jobs" --target quillon_tests
done_step
begin "tests under the sanitizers"
ASAN_OPTIONS=halt_on_error=1:detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  run_ctest build-asan/ctest.log --test-dir build-asan --output-on-failure -j"$jobs" -L unit

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
  done_check
}

echo "== fuzzing the card command layer and whole sessions (bounded runs; libFuzzer's output in build-fuzz/*.log)"
begin "fuzzing the card command layer"
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DQUILLON_FUZZ=ON -DQUILLON_TESTS=OFF
cmake --build build-fuzz -j"$jobs" --target quillon_fuzz_card quillon_fuzz_session
# The input of a failure is written into build-fuzz, not into the clone.
run_fuzzer build-fuzz/fuzz_card.log quillon_fuzz_card -runs=200000 -max_len=4096 -artifact_prefix=build-fuzz/
begin "fuzzing whole sessions"
session_corpus=$(mktemp -d)
stages_temp+=("$session_corpus")
run_fuzzer build-fuzz/fuzz_session.log quillon_fuzz_session -runs=8000 -max_total_time=60 -max_len=4096 -timeout=10 \
  -artifact_prefix=build-fuzz/ "$session_corpus" tests/fuzz/corpus_session

echo "== Debian package"
begin "Debian package check"
scripts/package-check.sh build-pkg
done_check

echo "== Windows build under Wine"
begin "Windows check"
scripts/windows-check.sh build-win build-test
done_check

stages_end
