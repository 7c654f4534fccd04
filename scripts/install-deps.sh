#!/usr/bin/env bash
# Installs what Quillon needs on Debian 12 or 13: `install-deps.sh` for
# building and running the tool (with the virtual card demo),
# `install-deps.sh --test` for every test and check as well (debootstrap is
# for scripts/debian-check.sh). Every package named here
# has that name in both releases (no version in a name where a version-free
# one exists).
#
# The vpcd virtual reader driver is not installed: Debian's vsmartcard-vpcd
# package registers two virtual readers with the system's pcscd
# (/etc/reader.conf.d/vpcd), which every PC/SC program on the machine would
# see from the service's next start on. Its package is downloaded instead and
# unpacked into build-vpcd/ of this clone, where the private pcscd of
# scripts/pcsc-stack.sh takes the driver from. A machine that has the package
# installed already keeps it, and its driver is used.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

# shellcheck source-path=SCRIPTDIR source=privileges.sh
. "$root/scripts/privileges.sh"

packages=(build-essential cmake pkg-config libpcsclite-dev pcscd python3 util-linux iproute2)
if [ "${1:-}" = "--test" ]; then
  packages+=(libgtest-dev libbenchmark-dev clang libclang-rt-dev valgrind
             g++-mingw-w64-x86-64 wine wine64 wine64-tools libwine-dev dpkg-dev man-db
             lintian devscripts shellcheck debootstrap)
fi

# Run with sudo in a user's clone, build-vpcd/ is given back to that user.
trap 'give_back_clone "$root"' EXIT

export DEBIAN_FRONTEND=noninteractive
echo "(install-deps: installing ${#packages[@]} Debian packages and what they need, as root:" \
  "${packages[*]})"
# A fresh machine often runs its own package updates right after it boots:
# wait for their lock rather than fail at once.
apt_options=(-q -o DPkg::Lock::Timeout=600)
run_as_root apt-get "${apt_options[@]}" update
run_as_root apt-get "${apt_options[@]}" install -y --no-install-recommends "${packages[@]}"

# shellcheck source-path=SCRIPTDIR source=vpcd-driver.sh
. "$root/scripts/vpcd-driver.sh"
if driver=$(vpcd_driver); then
  echo "vpcd driver: $driver"
else
  vpcd_dir=$root/build-vpcd
  download=$(mktemp -d)
  # apt's download user cannot write into a folder of root's: the download
  # runs as the caller, who owns the folder.
  (cd "$download" && apt-get -q -o APT::Sandbox::User="$(id -un)" download vsmartcard-vpcd)
  rm -rf "$vpcd_dir"
  dpkg-deb -x "$download"/vsmartcard-vpcd_*.deb "$vpcd_dir"
  rm -rf "$download"
  driver=$(vpcd_driver) || { echo "install-deps: no vpcd driver in $vpcd_dir" >&2; exit 1; }
  echo "vpcd driver: $driver (from Debian's vsmartcard-vpcd, unpacked here, not installed)"
fi
