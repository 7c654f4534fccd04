#!/usr/bin/env bash
# Makes the Wine prefix that tests/wine/quillon-wine.sh lays an overlay on in
# each pcsc-stack.sh namespace, so that the ~10 s of `wineboot -i` are spent
# once and not per test:
#
#   make-prefix.sh DIR
#
# Nothing is done when DIR already holds a prefix made by the same Wine
# version. The prefix is made in DIR.new and renamed to DIR when complete.
# Wine runs in private mount and PID namespaces with its own server
# directory, so that nothing it starts outlives this script and no other Wine
# session is met. Needs Wine, and root or a kernel that lets an ordinary
# user make a user namespace (as scripts/pcsc-stack.sh does): then the
# prefix belongs to that user, as Wine requires of a prefix it uses.
set -euo pipefail

die() {
  echo "make-prefix: $*" >&2
  exit 2
}

[ $# -eq 1 ] || die "usage: make-prefix.sh DIR"
dir=$1

# shellcheck source-path=SCRIPTDIR source=../../scripts/wine-commands.sh
. "$(dirname "$0")/../../scripts/wine-commands.sh"
find_wine || die "no wine64/wine or wineserver command (Debian: apt-get install wine wine64)"

version=$("$wine" --version 2>/dev/null) || die "$wine --version failed"

if [ "${QUILLON_MAKE_PREFIX_INNER:-}" != 1 ]; then
  if [ -f "$dir/system.reg" ] && [ "$(cat "$dir/.quillon-wine-version" 2>/dev/null)" = "$version" ]; then
    echo "make-prefix: $dir is ready ($version)"
    exit 0
  fi
  # Root, or an ordinary user in a user namespace, as the private stacks
  # run (the stack script tells which).
  user_ns=()
  case $("$(dirname "$0")/../../scripts/pcsc-stack.sh" access) in
    root) ;;
    userns) user_ns=(--user --map-root-user) ;;
    *) die "needs root here: this kernel refuses user namespaces to $(id -un) (run it with sudo)" ;;
  esac
  dir=$(mkdir -p "$(dirname "$dir")" && cd "$(dirname "$dir")" && pwd -P)/$(basename "$dir")
  rm -rf "$dir" "$dir.new"
  start=$SECONDS
  QUILLON_MAKE_PREFIX_INNER=1 unshare "${user_ns[@]}" --mount --propagation private --pid --fork --kill-child \
    --mount-proc "$(readlink -f "$0")" "$dir.new"
  echo "$version" >"$dir.new/.quillon-wine-version"
  mv "$dir.new" "$dir"
  echo "make-prefix: $dir made in $((SECONDS - start)) s ($version)"
  exit 0
fi

# Inside the namespaces. Wine's server directory goes in /tmp, here a
# private tmpfs that shows the rest of the machine's /tmp (private_tmp), so
# nothing of it is left on the machine. Debian's Wine makes
# /tmp/wine-XXXXXX and notes its name in the prefix, file "wineserver",
# removed below so that each user of the prefix makes its own; upstream
# Wine uses /tmp/.wine-UID.
# The scratch folder is a tmpfs on /run, private to the namespace too: the
# new /tmp is put together there, which must be outside /tmp (where DIR may
# be).
mount -t tmpfs -o mode=0755,size=16m make-prefix /run || die "cannot mount tmpfs on /run"
scratch=/run/make-prefix
mkdir -m 0700 "$scratch"
mkdir "$scratch/tmp"
private_tmp "$scratch/tmp" || die "cannot make a private /tmp"
mkdir -m 0700 "$scratch/home"
export HOME=$scratch/home
unset TMPDIR
export WINEPREFIX=$dir WINEDEBUG=-all
# No Mono or Gecko installers, no desktop menu entries.
export WINEDLLOVERRIDES='mscoree,mshtml=;winemenubuilder.exe=d'
unset DISPLAY WAYLAND_DISPLAY XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME XDG_RUNTIME_DIR
mkdir -p "$dir"
# A server that ends as soon as its last client does, so that the registry
# is on disk when the wait below returns.
"$wineserver" -p0 </dev/null >/dev/null 2>&1
"$wine" wineboot -i >"$dir.log" 2>&1 || { cat "$dir.log" >&2; die "wineboot -i failed"; }
"$wineserver" -w
rm -f "$dir.log" "$dir/wineserver"
[ -f "$dir/system.reg" ] || die "wineboot left no system.reg in $dir"
