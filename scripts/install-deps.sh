#!/usr/bin/env bash
# Installs what Quillon needs on Debian: `install-deps.sh` for building and
# running the tool (with the virtual card demo), `install-deps.sh --test` for
# every test as well.
set -euo pipefail

run_as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

packages=(build-essential cmake pkg-config libpcsclite-dev pcscd vsmartcard-vpcd python3 util-linux iproute2)
if [ "${1:-}" = "--test" ]; then
  packages+=(libgtest-dev libbenchmark-dev clang libclang-rt-14-dev valgrind
             g++-mingw-w64-x86-64 wine wine64 wine64-tools libwine-dev dpkg-dev man-db
             lintian devscripts shellcheck)
fi

export DEBIAN_FRONTEND=noninteractive
# A fresh machine often runs its own package updates right after it boots:
# wait for their lock rather than fail at once.
apt_options=(-q -o DPkg::Lock::Timeout=600)
run_as_root apt-get "${apt_options[@]}" update
run_as_root apt-get "${apt_options[@]}" install -y --no-install-recommends "${packages[@]}"
