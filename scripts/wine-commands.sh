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

# wine_winscard: prints which WinSCard the Windows build is run with. "wine"
# is Wine's own: from Wine 9 on it hands every call to the host's pcsc-lite,
# a real WinSCard implementation to check the exe on. "bridge" is the test
# WinSCard (tests/wine/bridge.c) that does the same for Wine 8, whose own
# WinSCard is a stub that cannot make a context. QUILLON_WINE_WINSCARD, when
# set to one of the two, chooses instead. Needs find_wine first.
wine_winscard() {
  local major
  case ${QUILLON_WINE_WINSCARD:-} in
    wine|bridge) echo "$QUILLON_WINE_WINSCARD"; return 0 ;;
    '') ;;
    *) echo "QUILLON_WINE_WINSCARD must be wine or bridge, not '$QUILLON_WINE_WINSCARD'" >&2; return 1 ;;
  esac
  major=$("$wine" --version 2>/dev/null | sed -n 's/^wine-\([0-9][0-9]*\).*/\1/p')
  [ -n "$major" ] || { echo "cannot tell the version of $wine" >&2; return 1; }
  if [ "$major" -ge 9 ]; then echo wine; else echo bridge; fi
}

# private_tmp STAGING: makes /tmp, in this mount namespace, a tmpfs of its own
# that shows every entry of the machine's /tmp again, bound back, but Wine's
# server folders (Debian's wine-*, upstream's .wine-*). Wine makes its server
# folder in /tmp (not in TMPDIR: Debian 13's wineserver aborts when that is
# set), so the folder it makes here stays private to the namespace and goes
# with it, while a clone, a build or a prefix under /tmp is still there. The
# new /tmp is put together at STAGING (an empty folder outside /tmp) and then
# moved onto /tmp at once, so that no process of the namespace ever finds
# /tmp half made.
private_tmp() {
  local staging=$1 entry name
  mount -t tmpfs -o mode=1777,size=16m quillon-wine "$staging" || return 1
  for entry in /tmp/* /tmp/.[!.]* /tmp/..?*; do
    [ -e "$entry" ] || [ -L "$entry" ] || continue
    name=${entry##*/}
    case $name in wine-*|.wine-*) continue ;; esac
    if [ -L "$entry" ]; then
      cp -P "$entry" "$staging/$name"
    elif [ -d "$entry" ]; then
      mkdir "$staging/$name" && mount --rbind "$entry" "$staging/$name"
    else
      : >"$staging/$name" && mount --bind "$entry" "$staging/$name"
    fi || echo "private_tmp: /tmp/$name not shown in Wine's private /tmp" >&2
  done
  mount --move "$staging" /tmp
}
