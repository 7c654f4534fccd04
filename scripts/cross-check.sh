#!/usr/bin/env bash
# Cross-builds Quillon for an ARM architecture and checks it under emulation:
#
#   scripts/cross-check.sh ARCH          (ARCH: arm64 or armhf; as root, or
#                                         as a user with sudo for the installs)
#
# The steps:
#   1. what it needs is installed: the architecture is added to dpkg
#      (`dpkg --add-architecture`), the package lists are fetched only when
#      that architecture's are missing, then the cross compiler
#      (crossbuild-essential-ARCH), qemu-user, and pcsc-lite, GoogleTest and
#      the C++ library of ARCH. qemu-user comes without its recommended
#      qemu-user-binfmt: no binfmt handler is registered, every foreign
#      program runs through qemu explicitly (CMAKE_CROSSCOMPILING_EMULATOR).
#      On a clone without the vpcd driver, scripts/install-deps.sh runs first;
#   2. a native build for the virtual card and the comparison: build-test
#      when it is configured (scripts/test.sh makes it), else build-cross-host
#      with only quillon and quillon-vcard;
#   3. the cross build in build-ARCH (cmake/linux-ARCH.cmake), tests included,
#      warnings as errors;
#   4. under qemu-user: the unit and whole-program tests (CTest label unit),
#      and the end-to-end cases whose outcome can depend on the architecture
#      (label e2e; the foreign quillon against the native pcscd and virtual
#      card, its output compared byte for byte with the native build's
#      where the case fixes it). The long timed cases (idle, pulls, soak)
#      and memcheck stay with the native build, in scripts/test.sh;
#   5. the package, quillon_1.0_ARCH.deb, built twice and checked by
#      scripts/package-check.sh for its architecture (build-pkg-ARCH).
# The last line is always `summary: N passed, N failed`: each CTest test
# counts one, and so does the package check. A stage that fails ends the
# script with a non-zero status; the summary then counts it (or its failed
# tests), and the line before it names the stage and those not run.
set -euo pipefail
cd "$(dirname "$0")/.."

arch=${1:-}
case $arch in
  arm64) triplet=aarch64-linux-gnu qemu=qemu-aarch64 ;;
  armhf) triplet=arm-linux-gnueabihf qemu=qemu-arm ;;
  *)
    echo "usage: scripts/cross-check.sh arm64|armhf" >&2
    exit 2 ;;
esac

stages=("installing the packages" "native build" "cross build" "unit and whole-program tests under $qemu"
        "end-to-end tests under $qemu" "package check")
stage=0
passed=0
failed=0
start=$SECONDS

# On a failure: the stage that failed, those not run, and the summary with
# the failure counted.
on_failure() {
  local status=$? rest='' i
  if [ "$status" -ne 0 ]; then
    failed=$((failed > 0 ? failed : 1))
    echo "cross-check $arch: FAILED at stage: ${stages[stage]}" >&2
    for ((i = stage + 1; i < ${#stages[@]}; i++)); do
      rest+="${rest:+, }${stages[i]}"
    done
    [ -z "$rest" ] || echo "cross-check $arch: not run: $rest" >&2
    echo "summary: $passed passed, $failed failed"
  fi
}
trap on_failure EXIT

run_as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# tests LOG ARGS...: ctest with ARGS, its output also in LOG. Its closing
# line, "N% tests passed, F tests failed out of T", gives the counts; a
# failed test, or no such line, ends the script.
tests() {
  local log=$1 status=0 closing words
  shift
  ctest "$@" 2>&1 | tee "$log" || status=$?
  closing=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+$' "$log" | tail -n 1) || true
  [ -n "$closing" ] || exit 1
  read -r -a words <<<"$closing"  # N% tests passed, F tests failed out of T
  passed=$((passed + words[8] - words[3]))
  failed=$((failed + words[3]))
  [ "$status" -eq 0 ] && [ "${words[3]}" -eq 0 ] || exit 1
  counted=${words[8]}
}

jobs=$(nproc 2>/dev/null || echo 2)

echo "== cross-check $arch: installing what it needs"
if ! bash -c '. scripts/vpcd-driver.sh && vpcd_driver' >/dev/null 2>&1; then
  scripts/install-deps.sh
fi
if ! dpkg --print-foreign-architectures | grep -qx "$arch"; then
  run_as_root dpkg --add-architecture "$arch"
fi
if ! compgen -G "/var/lib/apt/lists/*_binary-${arch}_Packages*" >/dev/null; then
  run_as_root apt-get -q -o DPkg::Lock::Timeout=600 update
fi
run_as_root env DEBIAN_FRONTEND=noninteractive apt-get -q -o DPkg::Lock::Timeout=600 install -y \
  --no-install-recommends cmake pkg-config g++ libpcsclite-dev pcscd python3 util-linux iproute2 \
  dpkg-dev lintian devscripts "crossbuild-essential-$arch" qemu-user \
  "libpcsclite-dev:$arch" "libgtest-dev:$arch" "libstdc++6:$arch"
stage=$((stage + 1))

echo "== native build: the virtual card and the build to compare with"
if [ -f build-test/CMakeCache.txt ]; then
  native=build-test
else
  native=build-cross-host
  cmake -S . -B "$native" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLON_TESTS=OFF -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
fi
cmake --build "$native" -j"$jobs" --target quillon quillon-vcard
stage=$((stage + 1))

echo "== cross build for $arch in build-$arch"
build_start=$SECONDS
# The toolchain file by its full path, as the cache keeps it.
cmake -S . -B "build-$arch" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/linux-$arch.cmake" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_COMPILE_WARNING_AS_ERROR=ON -DQUILLON_TESTS=ON -DQUILLON_E2E_HOST_BUILD="$PWD/$native"
cmake --build "build-$arch" -j"$jobs"
build_time=$((SECONDS - build_start))
stage=$((stage + 1))

unit_start=$SECONDS
tests "build-$arch/ctest-unit.log" --test-dir "build-$arch" -L unit -j"$jobs" --output-on-failure
unit_count=$counted unit_time=$((SECONDS - unit_start))
stage=$((stage + 1))

e2e_start=$SECONDS
tests "build-$arch/ctest-e2e.log" --test-dir "build-$arch" -L e2e -j"$jobs" --output-on-failure
e2e_count=$counted e2e_time=$((SECONDS - e2e_start))
stage=$((stage + 1))

echo "== package for $arch"
package_start=$SECONDS
scripts/package-check.sh --toolchain "cmake/linux-$arch.cmake" "build-pkg-$arch"
passed=$((passed + 1))
package_time=$((SECONDS - package_start))
deb=(build-pkg-"$arch"/quillon_*.deb)

echo "cross-check $arch: built for $triplet in $build_time s; under $qemu: $unit_count unit and whole-program" \
  "tests in $unit_time s, $e2e_count end-to-end cases in $e2e_time s (native: $native); ${deb[0]}," \
  "Architecture: $(dpkg-deb -f "${deb[0]}" Architecture), checked in $package_time s; all in $((SECONDS - start)) s"
echo "summary: $passed passed, 0 failed"
