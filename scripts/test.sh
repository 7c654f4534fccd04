#!/usr/bin/env bash
# Installs everything the tests need, builds, and runs every test: the unit
# and whole-program tests on the simulated PC/SC, and the end-to-end tests on
# a private pcscd with the vpcd driver and the virtual card (needs root).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh --test

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
cmake --build build-test -j"$jobs"
ctest --test-dir build-test --output-on-failure -j"$jobs"
