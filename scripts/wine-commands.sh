# shellcheck shell=bash
# Sourced by the scripts that run Wine: find_wine sets `wine` and
# `wineserver` to Wine's 64-bit loader and its server, and fails when either
# is missing. Debian 12 puts the 64-bit loader in /usr/lib/wine and a `wine`
# wrapper on the PATH that uses it when there is no 32-bit Wine; other
# systems have `wine64` on the PATH.
find_wine() {
  local candidate
  wine=
  wineserver=
  for candidate in wine64 wine /usr/lib/wine/wine64; do
    if command -v "$candidate" >/dev/null 2>&1; then
      wine=$(command -v "$candidate")
      break
    fi
  done
  for candidate in wineserver /usr/lib/wine/wineserver64 /usr/lib/wine/wineserver; do
    if command -v "$candidate" >/dev/null 2>&1; then
      wineserver=$(command -v "$candidate")
      break
    fi
  done
  [ -n "$wine" ] && [ -n "$wineserver" ]
}
