#!/usr/bin/env bash
# Builds the Windows quillon.exe with MinGW-w64 and runs it under Wine.
#
#   scripts/windows-check.sh [BUILD_DIR [LINUX_BUILD_DIR]]
#                     (defaults: build-win, build-lin; as root, or as
#                     yourself where the kernel gives you user namespaces)
#
# Installs nothing: it needs cmake, the MinGW-w64 C++ compiler
# (g++-mingw-w64-x86-64), Wine (Debian: wine and wine64) and, for the runs,
# what the end-to-end tests need (pcscd, the vpcd driver that
# scripts/install-deps.sh unpacks, GoogleTest to configure the Linux build)
# and winegcc (wine64-tools, libwine-dev). Wine runs only inside private
# pcsc-lite stacks (scripts/pcsc-stack.sh, through tests/wine/quillon-wine.sh),
# without a display, and everything it starts ends with them.
#
# The checks:
#   0. `cpack -G ZIP` makes quillon-1.0-win64.zip with quillon.exe,
#      README.txt and LICENSE.txt and nothing else; a second build in
#      BUILD_DIR-again, packed as if a minute later, gives the same
#      quillon.exe and the same zip, byte for byte. The zip is unpacked and
#      its quillon.exe is the one that the checks below run;
#   1. the executable imports KERNEL32.dll, msvcrt.dll and WinSCard.dll and
#      nothing else (no MinGW runtime DLL);
#   2. with Wine's own WinSCard and no PC/SC service (a stack without
#      pcscd): without arguments stdout is the four banner lines, byte for
#      byte (CR LF line ends), and nothing else;
#   3. the same with `debug`: the banner is followed only by the context
#      failure, about once a second (2 to 8 of them in 4 seconds): "failed
#      to establish SCard context (err 8010001D)-> wait", no service, from
#      Wine 9 on, whose WinSCard reaches pcsc-lite; "(err 80100001)" from
#      Wine 8's, a stub that cannot make any context;
#   4. one scan of the virtual card on a private pcscd with the vpcd driver,
#      with the WinSCard that quillon-wine.sh chooses (Wine's own from Wine 9
#      on, the test one that forwards to pcsc-lite on Wine 8): the Windows
#      build's report and the Linux build's (LINUX_BUILD_DIR, configured and
#      built here as needed) on the same card must be identical, byte for
#      byte.
# It exits non-zero with a message on the first mismatch.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)

# Inside the stack of check 4: the virtual card, then one run of each build
# on it. Arguments: output directory, quillon.exe, Linux quillon,
# quillon-vcard. Writes windows.out and linux.out there, with the exit
# statuses in windows.status and linux.status.
# shellcheck source-path=SCRIPTDIR source=wait-limits.sh
. "$root/scripts/wait-limits.sh"
# The limits of this check's waits: a step; the Windows build's start under
# Wine, longest in a fresh prefix; a tool's whole run on the card.
wine_start=$((wait_step * 9 / 2))
tool_run=$((wait_step * 3))

if [ "${1:-}" = --scan-in-stack ]; then
  out=$2 exe=$3 linux=$4 vcard=$5
  "$vcard" --port "$PCSC_STACK_PORT" --profile apps --quiet --log "$PCSC_STACK_DIR/card.log" &
  card_pid=$!
  # pcscd powers the card up as soon as it sees it.
  for _ in $(seq $((wait_step * 10))); do
    grep -q ' ctrl power-on$' "$PCSC_STACK_DIR/card.log" 2>/dev/null && break
    sleep 0.1
  done
  grep -q ' ctrl power-on$' "$PCSC_STACK_DIR/card.log" 2>/dev/null ||
    { echo "the card was not powered up in $wait_step s" >&2; exit 1; }
  status=0
  timeout $((wine_start + tool_run)) "$root/tests/wine/quillon-wine.sh" "$exe" >"$out/windows.out" \
    2>"$out/windows.err" || status=$?
  echo "$status" >"$out/windows.status"
  status=0
  timeout $((wait_step + tool_run)) "$linux" >"$out/linux.out" 2>"$out/linux.err" || status=$?
  echo "$status" >"$out/linux.status"
  kill -TERM "$card_pid"
  wait "$card_pid" || true
  exit 0
fi

# Inside the stack of checks 2 and 3, which has no pcscd: the runs without
# arguments and with `debug`, into OUT/plain.out and OUT/debug.out.
# Arguments: output directory, quillon.exe.
if [ "${1:-}" = --runs-without-service ]; then
  out=$2 exe=$3
  # shellcheck source-path=SCRIPTDIR source=check-output.sh
  . "$root/scripts/check-output.sh"
  check_name="windows-check"
  check_init "$out"
  # A run left behind by a failure ends with the stack.
  # run_quillon OUT SECONDS [ARGS...]: starts quillon.exe, waits for the
  # banner (Wine may take a few seconds to start it), lets it run SECONDS
  # more and ends it. The tool never ends by itself here, so an earlier end
  # is a failure.
  run_quillon() {
    local file=$1 seconds=$2 quillon_pid waited=0
    shift 2
    "$root/tests/wine/quillon-wine.sh" "$exe" "$@" >"$file" 2>"$file.stderr" &
    quillon_pid=$!
    while [ "$(stat -c %s "$file")" -lt "$banner_size" ]; do
      if ! kill -0 "$quillon_pid" 2>/dev/null; then break; fi
      if [ "$waited" -ge $((wine_start * 10)) ]; then
        show "stdout" "$file"
        fail "quillon.exe $* printed no banner within $wine_start s"
      fi
      sleep 0.1
      waited=$((waited + 1))
    done
    sleep "$seconds"
    if ! kill -0 "$quillon_pid" 2>/dev/null; then
      local status=0
      wait "$quillon_pid" || status=$?
      show "stdout" "$file"
      cat "$file.stderr" >&2
      fail "quillon.exe $* ended by itself (status $status); it should wait for a PC/SC service"
    fi
    kill -TERM "$quillon_pid"
    wait "$quillon_pid" 2>/dev/null || true
  }
  run_quillon "$out/plain.out" 3
  run_quillon "$out/debug.out" 4 debug
  exit 0
fi

build=${1:-$root/build-win}
linux_build=${2:-$root/build-lin}
jobs=$(nproc 2>/dev/null || echo 2)

# shellcheck source-path=SCRIPTDIR source=check-output.sh
. "$root/scripts/check-output.sh"
check_name="windows-check"

# shellcheck source-path=SCRIPTDIR source=wine-commands.sh
. "$root/scripts/wine-commands.sh"
find_wine || fail "no wine64/wine or wineserver command (Debian: apt-get install wine wine64)"

start=$SECONDS

# --- Build and zip -------------------------------------------------------------
# build_zip DIR: the Release build of quillon.exe in DIR and `cpack -G ZIP`.
zip_name=quillon-1.0-win64.zip
build_zip() {
  local dir=$1
  cmake -S "$root" -B "$dir" \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_COMPILE_WARNING_AS_ERROR=ON || fail "cmake configure failed"
  cmake --build "$dir" -j"$jobs" || fail "build failed"
  [ -f "$dir/quillon.exe" ] || fail "$dir/quillon.exe was not built"
  rm -f "$dir/$zip_name"
  (cd "$dir" && cpack -G ZIP) || fail "cpack -G ZIP failed in $dir"
  [ -f "$dir/$zip_name" ] || fail "cpack made no $zip_name in $dir"
}

note "building quillon.exe and $zip_name in $build"
build_zip "$build"
build=$(cd "$build" && pwd)
built_exe=$build/quillon.exe
zip=$build/$zip_name
note "built in $((SECONDS - start)) s"

# The same sources again in another folder, packed as if a minute later
# (the files the zip takes dated a minute on): the same bytes.
again=${build%/}-again
note "building again in $again"
# The files that an earlier run dated a minute on go first: a source changed
# within that minute would not have them made again.
rm -f "$again/quillon.exe" "$again"/doc/*
build_zip "$again"
rm -f "$again/$zip_name"
later=$(( $(date +%s) + 60 ))
touch -d "@$later" "$again/quillon.exe" "$again"/doc/*
(cd "$again" && cpack -G ZIP >/dev/null) || fail "cpack -G ZIP failed in $again"
cmp -s "$built_exe" "$again/quillon.exe" || fail "two builds of the same sources give different quillon.exe"
cmp -s "$zip" "$again/$zip_name" || fail "two builds of the same sources give different zips"
note "reproducible: quillon.exe $(sha256sum "$built_exe" | cut -d' ' -f1)," \
  "$zip_name $(sha256sum "$zip" | cut -d' ' -f1) from both builds"

# --- Scratch folder -------------------------------------------------------------
# In the build folder, not in /tmp: Wine's /tmp is private to it in the stacks.
tmp=$(mktemp -d "$build/windows-check.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
trap 'exit 130' INT TERM

# --- 0. The zip's contents ------------------------------------------------------
mkdir "$tmp/zip"
(cd "$tmp/zip" && cmake -E tar xf "$zip") || fail "cannot unpack $zip"
contents=$(cd "$tmp/zip" && find . -mindepth 1 | sort | tr '\n' ' ')
[ "$contents" = "./LICENSE.txt ./README.txt ./quillon.exe " ] ||
  fail "$zip_name holds '$contents', not quillon.exe, README.txt and LICENSE.txt"
# cpack strips the executable it packs, so it is smaller than the built one.
exe=$tmp/zip/quillon.exe
grep -q $'^Copyright (c) 2026 Vantrel\r$' "$tmp/zip/LICENSE.txt" ||
  fail "LICENSE.txt lacks the copyright line (with CR LF)"
note "$zip_name: quillon.exe ($(stat -c %s "$exe") bytes, stripped), README.txt, LICENSE.txt;" \
  "the checks run the unpacked quillon.exe"

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
  if grep -qiE '^(libgcc|libstdc\+\+|libwinpthread|libssp)' <<<"$imports"; then
    fail "quillon.exe is not static; it imports: $listed"
  fi
  unexpected=$(grep -viE '^(kernel32|msvcrt|winscard)\.dll$' <<<"$imports" || true)
  [ -z "$unexpected" ] || fail "quillon.exe imports more than KERNEL32, msvcrt and WinSCard: $listed"
  note "imports: $listed"
fi

# --- The Linux build, the WinSCard bridge and the Wine prefix --------------------
prep_start=$SECONDS
note "building the Linux build, the virtual card and the WinSCard bridge in $linux_build"
cmake -S "$root" -B "$linux_build" -DQUILLON_WINDOWS_EXE="$built_exe" >"$tmp/linux-cmake.log" 2>&1 ||
  { cat "$tmp/linux-cmake.log" >&2; fail "cmake configure of $linux_build failed"; }
linux_build=$(cd "$linux_build" && pwd)
cmake --build "$linux_build" -j"$jobs" --target quillon quillon-vcard quillon_wine_bridge ||
  fail "the Linux build failed"
"$root/tests/wine/make-prefix.sh" "$linux_build/tests/wine/prefix" || fail "no Wine prefix"
export QUILLON_WINE_BRIDGE=$linux_build/tests/wine QUILLON_WINE_PREFIX=$linux_build/tests/wine/prefix
note "ready in $((SECONDS - prep_start)) s"

# --- 2. and 3. No PC/SC service: the banner; with debug, the context retries ------
# Wine's own WinSCard, whatever the scan below uses; its answer without a
# service depends on whether it reaches pcsc-lite.
own=$(QUILLON_WINE_WINSCARD='' wine_winscard) || fail "cannot tell what Wine's own WinSCard does"
if [ "$own" = wine ]; then
  no_context=8010001D
  why="no service: Wine's WinSCard reaches pcsc-lite"
else
  no_context=80100001
  why="Wine's WinSCard is a stub"
fi
run_start=$SECONDS
mkdir "$tmp/runs"
QUILLON_WINE_WINSCARD=wine "$root/scripts/pcsc-stack.sh" --no-pcscd --port "${QUILLON_WINDOWS_CHECK_PORT:-36710}" -- \
  "$root/scripts/windows-check.sh" --runs-without-service "$tmp/runs" "$exe" ||
  fail "the runs without a PC/SC service failed"
check_init "$tmp"
expect_banner_only "$tmp/runs/plain.out" "without arguments"
note "no arguments: banner only, as expected"
expect_retries "$tmp/runs/debug.out" "failed to establish SCard context (err $no_context)-> wait" 2 8 "with debug"
note "debug: $retry_count context-retry lines (err $no_context, $why) in 4 s, nothing else"
note "runs took $((SECONDS - run_start)) s"

# --- 4. A scan of the virtual card, the same bytes as the Linux build's -----
scan_start=$SECONDS
winscard=$(wine_winscard) || fail "cannot choose the WinSCard"
mkdir "$tmp/scan"
"$root/scripts/pcsc-stack.sh" --port "${QUILLON_WINDOWS_CHECK_PORT:-36710}" -- \
  "$root/scripts/windows-check.sh" --scan-in-stack "$tmp/scan" "$exe" "$linux_build/quillon" \
  "$linux_build/tests/vcard/quillon-vcard" || fail "the scan in the private pcsc-lite stack failed"
for which in windows linux; do
  status=$(cat "$tmp/scan/$which.status")
  if [ "$status" != 0 ]; then
    show "$which stdout" "$tmp/scan/$which.out"
    cat "$tmp/scan/$which.err" >&2
    fail "the $which build ended with status $status on the virtual card"
  fi
done
windows=$tmp/scan/windows.out
expect_banner "$windows" "scan"
blocks=$(grep -c "^found AID:   '" "$windows" || true)
[ "$blocks" -gt 0 ] || { show "stdout" "$windows"; fail "scan: the Windows build reported no application"; }
if cmp -s "$windows" "$tmp/scan/linux.out"; then
  note "scan ($winscard WinSCard): the Windows and Linux reports of the virtual card are identical" \
    "($(stat -c %s "$windows") bytes, $blocks blocks)"
else
  note "scan: the Windows and Linux reports of the virtual card differ:"
  cmp "$windows" "$tmp/scan/linux.out" || true
  diff -a <(tr -d '\r' <"$windows") <(tr -d '\r' <"$tmp/scan/linux.out") >&2 || true
  fail "scan: the two builds printed different reports"
fi
note "scan took $((SECONDS - scan_start)) s; all in $((SECONDS - start)) s"
note "PASS"
