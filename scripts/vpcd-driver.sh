# shellcheck shell=bash
# Sourced by the scripts that run the private pcscd: vpcd_driver prints the
# path of the vpcd virtual reader driver and fails when there is none. In
# order: $VPCD_DRIVER when set (and then only it); the copy that scripts/install-deps.sh unpacked
# from Debian's vsmartcard-vpcd into build-vpcd/ of this clone; the system's,
# where that package is installed.
vpcd_driver() {
  local here candidate
  if [ -n "${VPCD_DRIVER:-}" ]; then
    [ -e "$VPCD_DRIVER" ] && echo "$VPCD_DRIVER"
    return
  fi
  here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  for candidate in "$here/build-vpcd/usr/lib/pcsc/drivers/serial/libifdvpcd.so" \
    /usr/lib/pcsc/drivers/serial/libifdvpcd.so; do
    if [ -e "$candidate" ]; then
      echo "$candidate"
      return 0
    fi
  done
  return 1
}
