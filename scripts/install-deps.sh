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

# On every exit the download folder goes, and so does a half-made
# build-vpcd.new.*; run with sudo in a user's clone, whatever root made
# there is given back to that user.
download=
unpacked=
cleanup() {
  [ -z "$download" ] || rm -rf -- "$download"
  [ -z "$unpacked" ] || as_clone_owner "$root" rm -rf -- "$root/$unpacked"
  give_back_clone "$root"
}
trap cleanup EXIT

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
  # The package is unpacked as the clone's owner (root only in a clone of
  # root's), into a new folder that then takes build-vpcd's place: whatever
  # link stands in the clone, nothing is written or removed where that user
  # could not. Files left there as root by an older run go back to the user
  # first.
  chmod 755 "$download"
  give_back_clone "$root"
  unpacked=$(as_clone_owner "$root" mktemp -d "$root/build-vpcd.new.XXXXXX")
  unpacked=${unpacked##*/}
  as_clone_owner "$root" dpkg-deb -x "$download"/vsmartcard-vpcd_*.deb "$root/$unpacked"
  as_clone_owner "$root" rm -rf -- "$vpcd_dir"
  as_clone_owner "$root" mv -T -- "$root/$unpacked" "$vpcd_dir"
  unpacked=
  rm -rf -- "$download"
  download=
  driver=$(vpcd_driver) || { echo "install-deps: no vpcd driver in $vpcd_dir" >&2; exit 1; }
  echo "vpcd driver: $driver (from Debian's vsmartcard-vpcd, unpacked here, not installed)"
fi
