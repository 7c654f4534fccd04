#!/usr/bin/env bash
# Runs the Windows build under Wine on the private pcsc-lite stack:
#
#   quillon-wine.sh QUILLON_EXE [ARGS...]
#
# Only inside a scripts/pcsc-stack.sh namespace (it refuses to run anywhere
# else, so the tool never meets a system pcscd). The exe gets Wine's own
# WinSCard where that reaches pcsc-lite (Wine 9 and later), and the test
# WinSCard (bridge.c) with Wine 8 (wine_winscard in
# scripts/wine-commands.sh; QUILLON_WINE_WINSCARD=wine|bridge chooses). The
# environment names the pieces:
#   QUILLON_WINE_BRIDGE  directory holding winscard.dll.so (the built bridge;
#                        needed with the bridge only)
#   QUILLON_WINE_PREFIX  a Wine prefix made by tests/wine/make-prefix.sh; it
#                        is only read: each stack gets a writable overlay of it
#
# The first run in a stack prepares it, in the stack's private mount
# namespace only:
#   - with the bridge: Wine looks for a builtin DLL in its own directory
#     before WINEDLLPATH, so an overlay on that directory hides its
#     winscard.dll (a whiteout); Wine then takes winscard.dll.so from
#     WINEDLLPATH, the bridge;
#   - the prefix is an overlay on QUILLON_WINE_PREFIX, writable and thrown
#     away with the stack, so that stacks running side by side never share
#     one (nor its wineserver);
#   - /tmp is a private tmpfs, where Wine makes its server directory
#     (Debian's Wine: /tmp/wine-XXXXXX, named in the prefix; upstream's:
#     /tmp/.wine-UID), with every other entry of the machine's /tmp bound
#     back into it (private_tmp in scripts/wine-commands.sh), so that a
#     clone or a build under /tmp works as anywhere else;
#   - a wineserver is started and stays until the stack ends, so that each
#     run starts at once.
# Then, and on every later run, it becomes (exec) `wine QUILLON_EXE ARGS`:
# the tool's PID is this script's, its standard streams are this script's.
set -euo pipefail

die() {
  echo "quillon-wine: $*" >&2
  exit 2
}

[ $# -ge 1 ] || die "usage: quillon-wine.sh QUILLON_EXE [ARGS...]"
if [ -z "${PCSC_STACK_DIR:-}" ] || ! mountpoint -q "$PCSC_STACK_DIR"; then
  die "runs only inside a pcsc-stack.sh namespace"
fi
template=${QUILLON_WINE_PREFIX:?QUILLON_WINE_PREFIX is not set}
[ -f "$template/system.reg" ] || die "no Wine prefix at $template (tests/wine/make-prefix.sh)"

# shellcheck source-path=SCRIPTDIR source=../../scripts/wine-commands.sh
. "$(dirname "$0")/../../scripts/wine-commands.sh"
find_wine || die "no wine64/wine or wineserver command (Debian: apt-get install wine wine64)"
winscard=$(wine_winscard) || die "cannot choose the WinSCard"

state=$PCSC_STACK_DIR/wine
export WINEPREFIX=$state/prefix
export HOME=$state/home
export WINEDEBUG=-all
export WINEDLLOVERRIDES='mscoree,mshtml=;winemenubuilder.exe=d'
if [ "$winscard" = bridge ]; then
  bridge=${QUILLON_WINE_BRIDGE:?QUILLON_WINE_BRIDGE is not set}
  [ -f "$bridge/winscard.dll.so" ] || die "no winscard.dll.so in $bridge"
  export WINEDLLPATH=$bridge
  WINEDLLOVERRIDES="winscard=b;$WINEDLLOVERRIDES"
fi
unset TMPDIR DISPLAY WAYLAND_DISPLAY XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME XDG_RUNTIME_DIR

# Wine's directory of 64-bit PE builtin DLLs.
pe_dir() {
  local d
  for d in /usr/lib/x86_64-linux-gnu/wine /usr/lib64/wine /usr/lib/wine /usr/local/lib/wine; do
    if [ -f "$d/x86_64-windows/winscard.dll" ]; then
      echo "$d/x86_64-windows"
      return 0
    fi
  done
  return 1
}

prepare() {
  mkdir -p "$state"/{prefix,prefix.upper,prefix.work,home}
  if [ "$winscard" = bridge ]; then
    local dlls
    dlls=$(pe_dir) || die "Wine's winscard.dll not found"
    mkdir -p "$state"/{dlls.upper,dlls.work}
    # An overlay whiteout: a character device 0/0 in the upper layer.
    mknod "$state/dlls.upper/winscard.dll" c 0 0
    mount -t overlay quillon-wine -o "lowerdir=$dlls,upperdir=$state/dlls.upper,workdir=$state/dlls.work" "$dlls" ||
      die "cannot mount an overlay on $dlls"
  fi
  mount -t overlay quillon-wine \
    -o "lowerdir=$template,upperdir=$state/prefix.upper,workdir=$state/prefix.work" "$WINEPREFIX" ||
    die "cannot mount an overlay of $template"
  mkdir "$state/tmp"
  private_tmp "$state/tmp" || die "cannot make a private /tmp"
  # The persistent server; its output and input are not the tool's.
  "$wineserver" -p </dev/null >/dev/null 2>&1 9>&-
  touch "$state/ready"
}

# Runs of the tool in one stack come one after another; the lock only keeps
# two first runs from preparing at once.
mkdir -p "$state"
exec 9>"$state/lock"
flock 9
[ -e "$state/ready" ] || prepare
exec 9>&-

exec "$wine" "$@"
