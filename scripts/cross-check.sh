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
#      where the case fixes it). The long timed cases (idle, pulls, soak),
#      memcheck, the cases that run no quillon or whose logic is no
#      architecture's (readers_script, demo_ctrl_c, resets, two_runs,
#      resets_endless, output_fails, atr_late) and the privileges check of
#      the scripts stay with the native build, in scripts/test.sh;
#   5. the package, quillon_1.0_ARCH.deb, built twice and checked by
#      scripts/package-check.sh for its architecture (build-pkg-ARCH).
# The last line is always `summary: N passed, N failed`: each CTest test
# counts one, and so does the package check. A stage that fails ends the
# script with a non-zero status; the summary then counts it (or its failed
# tests), and the line before it names the stage and those not run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

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
stages_name="cross-check $arch"
start=$SECONDS
# shellcheck source-path=SCRIPTDIR source=privileges.sh
. "$root/scripts/privileges.sh"
# shellcheck source-path=SCRIPTDIR source=stages.sh
. "$root/scripts/stages.sh"

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
DEBIAN_FRONTEND=noninteractive run_as_root apt-get -q -o DPkg::Lock::Timeout=600 install -y \
  --no-install-recommends cmake pkg-config g++ libpcsclite-dev pcscd python3 util-linux iproute2 \
  dpkg-dev lintian devscripts "crossbuild-essential-$arch" qemu-user \
  "libpcsclite-dev:$arch" "libgtest-dev:$arch" "libstdc++6:$arch"
done_step

echo "== native build: the virtual card and the build to compare with"
if [ -f build-test/CMakeCache.txt ]; then
  native=build-test
else
  native=build-cross-host
  cmake -S . -B "$native" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLON_TESTS=OFF -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
fi
cmake --build "$native" -j"$jobs" --target quillon quillon-vcard
done_step

echo "== cross build for $arch in build-$arch"
build_start=$SECONDS
# The toolchain file by its full path, as the cache keeps it.
cmake -S . -B "build-$arch" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/linux-$arch.cmake" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_COMPILE_WARNING_AS_ERROR=ON -DQUILLON_TESTS=ON -DQUILLON_E2E_HOST_BUILD="$PWD/$native"
cmake --build "build-$arch" -j"$jobs"
build_time=$((SECONDS - build_start))
done_step

unit_start=$SECONDS
run_ctest "build-$arch/ctest-unit.log" --test-dir "build-$arch" -L unit -j"$jobs" --output-on-failure
unit_count=$ctest_total unit_time=$((SECONDS - unit_start))

e2e_start=$SECONDS
run_ctest "build-$arch/ctest-e2e.log" --test-dir "build-$arch" -L e2e -j"$jobs" --output-on-failure
e2e_count=$ctest_total e2e_time=$((SECONDS - e2e_start))

echo "== package for $arch"
package_start=$SECONDS
scripts/package-check.sh --toolchain "cmake/linux-$arch.cmake" "build-pkg-$arch"
done_check
package_time=$((SECONDS - package_start))
deb=(build-pkg-"$arch"/quillon_*.deb)

echo "cross-check $arch: built for $triplet in $build_time s; under $qemu: $unit_count unit and whole-program" \
  "tests in $unit_time s, $e2e_count end-to-end cases in $e2e_time s (native: $native); ${deb[0]}," \
  "Architecture: $(dpkg-deb -f "${deb[0]}" Architecture), checked in $package_time s; all in $((SECONDS - start)) s"
stages_end
