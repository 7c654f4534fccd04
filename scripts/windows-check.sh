#!/usr/bin/env bash
# Builds the Windows quillon.exe with MinGW-w64 and runs it under Wine.
#
#   scripts/windows-check.sh [BUILD_DIR]      (default: build-win)
#
# Installs nothing: it needs cmake, the MinGW-w64 C++ compiler
# (g++-mingw-w64-x86-64) and Wine (Debian: wine and wine64). Wine runs in a
# private prefix in a temporary directory, without a display, and everything
# it starts is ended and removed afterwards.
#
# Wine's WinSCard cannot make a PC/SC context (SCardEstablishContext fails
# with SCARD_F_INTERNAL_ERROR, 80100001), so the tool stays in its
# context-retry loop. The checks:
#   1. the executable imports WinSCard.dll and no MinGW runtime DLL;
#   2. without arguments stdout is the four banner lines, byte for byte
#      (CR LF line ends), and nothing else;
#   3. with `debug`, the banner is followed only by the line
#      "failed to establish SCard context (err 80100001)-> wait", about once
#      a second: 2 to 8 of them in 4 seconds.
# It exits non-zero with a message on the first mismatch.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-win}
jobs=$(nproc 2>/dev/null || echo 2)

# shellcheck source=check-output.sh
. "$root/scripts/check-output.sh"
check_name=windows-check

# Debian 12 puts the 64-bit loader in /usr/lib/wine and a `wine` wrapper on
# the PATH that uses it when there is no 32-bit Wine; other systems have
# `wine64` on the PATH.
wine=
for candidate in wine64 wine /usr/lib/wine/wine64; do
  if command -v "$candidate" >/dev/null 2>&1; then
    wine=$(command -v "$candidate")
    break
  fi
done
[ -n "$wine" ] || fail "no wine64 or wine command (Debian: apt-get install wine wine64)"
wineserver=
for candidate in wineserver /usr/lib/wine/wineserver64 /usr/lib/wine/wineserver; do
  if command -v "$candidate" >/dev/null 2>&1; then
    wineserver=$(command -v "$candidate")
    break
  fi
done
[ -n "$wineserver" ] || fail "no wineserver command"

start=$SECONDS

# --- Build -----------------------------------------------------------------
note "building quillon.exe in $build"
cmake -S "$root" -B "$build" \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_COMPILE_WARNING_AS_ERROR=ON || fail "cmake configure failed"
cmake --build "$build" -j"$jobs" || fail "build failed"
exe=$build/quillon.exe
[ -f "$exe" ] || fail "$exe was not built"
note "built in $((SECONDS - start)) s"

# --- 1. Imports --------------------------------------------------------------
objdump=
for candidate in x86_64-w64-mingw32-objdump objdump; do
  if command -v "$candidate" >/dev/null 2>&1; then
    objdump=$candidate
    break
  fi
done
if [ -n "$objdump" ]; then
  imports=$("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p')
  listed=${imports//$'\n'/ }
  grep -qix 'winscard.dll' <<<"$imports" || fail "quillon.exe does not import WinSCard.dll (imports: $listed)"
  if grep -qiE '^(libgcc|libstdc\+\+|libwinpthread)' <<<"$imports"; then
    fail "quillon.exe is not static; it imports: $listed"
  fi
  note "imports: $listed"
fi

# --- Wine prefix -------------------------------------------------------------
tmp=$(mktemp -d "${TMPDIR:-/tmp}/quillon-wine.XXXXXX")
quillon_pid=
cleanup() {
  if [ -n "$quillon_pid" ] && kill -0 "$quillon_pid" 2>/dev/null; then
    kill -TERM "$quillon_pid" 2>/dev/null || true
    wait "$quillon_pid" 2>/dev/null || true
  fi
  "$wineserver" -k >/dev/null 2>&1 || true
  rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# A private prefix and home (CI may run with HOME unset), no display, no
# Mono or Gecko installers, no desktop menu entries, no Wine diagnostics.
mkdir -p "$tmp/home" "$tmp/prefix"
export HOME=$tmp/home
export WINEPREFIX=$tmp/prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES='mscoree,mshtml=;winemenubuilder.exe=d'
unset DISPLAY WAYLAND_DISPLAY XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME XDG_RUNTIME_DIR

boot_start=$SECONDS
# A server that stays up between the runs, so that each run starts at once.
"$wineserver" -p
"$wine" wineboot -i >"$tmp/wineboot.log" 2>&1 ||
  { cat "$tmp/wineboot.log" >&2; fail "wineboot failed"; }
note "Wine prefix ready in $((SECONDS - boot_start)) s"

check_init "$tmp"

# run_quillon OUT SECONDS [ARGS...]: starts quillon.exe, waits for the banner
# (Wine may take a few seconds to start it), lets it run SECONDS more and ends
# it. The tool never ends by itself here, so an earlier end is a failure.
run_quillon() {
  local out=$1 seconds=$2
  shift 2
  "$wine" "$exe" "$@" >"$out" 2>"$out.stderr" &
  quillon_pid=$!
  local waited=0
  while [ "$(stat -c %s "$out")" -lt "$banner_size" ]; do
    if ! kill -0 "$quillon_pid" 2>/dev/null; then break; fi
    if [ "$waited" -ge 600 ]; then
      show "stdout" "$out"
      fail "quillon.exe $* printed no banner within 60 s"
    fi
    sleep 0.1
    waited=$((waited + 1))
  done
  sleep "$seconds"
  if ! kill -0 "$quillon_pid" 2>/dev/null; then
    local status=0
    wait "$quillon_pid" || status=$?
    quillon_pid=
    show "stdout" "$out"
    cat "$out.stderr" >&2
    fail "quillon.exe $* ended by itself (status $status); it should wait for a card"
  fi
  kill -TERM "$quillon_pid"
  wait "$quillon_pid" 2>/dev/null || true
  quillon_pid=
}

# --- 2. No arguments: the banner and nothing else ----------------------------
run_start=$SECONDS
plain=$tmp/plain.out
run_quillon "$plain" 3
expect_banner_only "$plain" "without arguments"
note "no arguments: banner only, as expected"

# --- 3. debug: the banner, then the context-retry line about once a second ---
debug=$tmp/debug.out
run_quillon "$debug" 4 debug
expect_retries "$debug" 'failed to establish SCard context (err 80100001)-> wait' 2 8 "with debug"
note "debug: $retry_count context-retry lines (err 80100001) in 4 s, nothing else"
note "runs took $((SECONDS - run_start)) s; all in $((SECONDS - start)) s"
note "PASS"
