#!/usr/bin/env bash
# Builds the Debian package of Quillon and checks what it installs.
#
#   scripts/package-check.sh [BUILD_DIR]      (default: build-pkg)
#
# Installs nothing: it needs cmake, a C++ compiler, pkg-config,
# libpcsclite-dev and dpkg (dpkg-shlibdeps from dpkg-dev for the library
# dependencies); man or groff, where present, check the manual page.
# The steps: a Release build without tests in BUILD_DIR, `cpack -G DEB`, the
# package unpacked with `dpkg -x` into a temporary directory, and then:
#   - usr/bin/quillon and the manual page are there, and nothing else;
#   - the control fields: Package quillon, Version 1.0, Section utils,
#     Depends with libpcsclite1, Recommends pcscd;
#   - the unpacked quillon, run for 3 seconds with no PC/SC service to reach,
#     prints the four banner lines first (and only them), and with `debug`
#     the banner followed only by the line for the missing service;
#   - the manual page renders.
# It exits non-zero with a message on the first mismatch.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-pkg}
jobs=$(nproc 2>/dev/null || echo 2)

# shellcheck source=check-output.sh
. "$root/scripts/check-output.sh"
check_name=package-check

start=$SECONDS

# --- Build and package -------------------------------------------------------
note "building in $build"
# Only what the package holds is built (the tool and its manual page), and
# `cpack` builds nothing more before it installs.
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUILLON_TESTS=OFF \
  -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON -DCMAKE_COMPILE_WARNING_AS_ERROR=ON ||
  fail "cmake configure failed"
cmake --build "$build" -j"$jobs" --target quillon quillon_man || fail "build failed"
rm -f "$build"/quillon_*.deb
(cd "$build" && cpack -G DEB) || fail "cpack -G DEB failed"
debs=("$build"/quillon_*.deb)
[ -f "${debs[0]}" ] || fail "cpack made no quillon_*.deb in $build"
[ "${#debs[@]}" -eq 1 ] || fail "more than one package: ${debs[*]}"
deb=${debs[0]}
note "package: $deb (built in $((SECONDS - start)) s)"

tmp=$(mktemp -d "${TMPDIR:-/tmp}/quillon-pkg.XXXXXX")
trap 'rm -rf "$tmp"' EXIT

# --- Contents -----------------------------------------------------------------
dpkg -x "$deb" "$tmp/root"
[ -x "$tmp/root/usr/bin/quillon" ] || fail "usr/bin/quillon is missing or not executable"
man_page=
for candidate in "$tmp/root/usr/share/man/man1/quillon.1.gz" "$tmp/root/usr/share/man/man1/quillon.1"; do
  if [ -f "$candidate" ]; then
    man_page=$candidate
    break
  fi
done
[ -n "$man_page" ] || fail "usr/share/man/man1/quillon.1(.gz) is missing"
files=$(cd "$tmp/root" && find . -type f | sort)
expected_files=$(printf './usr/bin/quillon\n./%s\n' "${man_page#"$tmp/root/"}" | sort)
if [ "$files" != "$expected_files" ]; then
  printf 'package files:\n%s\n' "$files" >&2
  fail "the package holds other files than usr/bin/quillon and the manual page"
fi
note "files: $(echo "$files" | tr '\n' ' ')"

# --- Control fields -------------------------------------------------------------
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = quillon ] || fail "Package is '$(field Package)', not quillon"
[ "$(field Version)" = 1.0 ] || fail "Version is '$(field Version)', not 1.0"
[ "$(field Section)" = utils ] || fail "Section is '$(field Section)', not utils"
[ "$(field Maintainer)" = "Vantrel <support@vantrel.invalid>" ] ||
  fail "Maintainer is '$(field Maintainer)'"
depends=$(field Depends)
recommends=$(field Recommends)
grep -qE '(^|[ ,])libpcsclite1([ ,(]|$)' <<<"$depends" || fail "Depends '$depends' lacks libpcsclite1"
grep -qE '(^|[ ,])pcscd([ ,(]|$)' <<<"$recommends" || fail "Recommends '$recommends' lacks pcscd"
note "Depends: $depends"
note "Recommends: $recommends"

# --- The installed binary ---------------------------------------------------------
# The pcsc-lite client library is pointed at a socket that does not exist,
# so no pcscd on this machine is reached: the tool cannot make a context and
# retries every second until `timeout` ends it.
check_init "$tmp"

run_installed() {  # run_installed OUT [ARGS...]
  local out=$1 status=0
  shift
  PCSCLITE_CSOCK_NAME=$tmp/no-pcscd.comm timeout 3 "$tmp/root/usr/bin/quillon" "$@" >"$out" 2>"$out.stderr" ||
    status=$?
  # 124: ended by timeout, as it should be. It never finds a card here.
  if [ "$status" -ne 124 ]; then
    show "stdout" "$out"
    cat "$out.stderr" >&2
    fail "quillon $* ended with status $status before the timeout"
  fi
  expect_banner "$out" "quillon $*"
}

plain=$tmp/plain.out
run_installed "$plain"
expect_banner_only "$plain" "without arguments"
note "installed quillon: banner, then waits"

debug=$tmp/debug.out
run_installed "$debug" debug
line='failed to establish SCard context (err 8010001D)-> wait'
expect_retries "$debug" "$line" 2 6 "with debug"
note "installed quillon debug: $retry_count lines '$line'"

# --- Manual page --------------------------------------------------------------------
page_source=$tmp/quillon.1
case $man_page in
  *.gz) gzip -dc "$man_page" >"$page_source" ;;
  *) cp "$man_page" "$page_source" ;;
esac
checked=
if command -v groff >/dev/null 2>&1; then
  warnings=$(groff -man -ww -z "$page_source" 2>&1) || fail "groff failed on the manual page: $warnings"
  [ -z "$warnings" ] || fail "groff warns about the manual page: $warnings"
  groff -man -Tutf8 "$page_source" 2>/dev/null | grep -q 'quillon' || fail "groff renders no text"
  checked="groff"
fi
if command -v man >/dev/null 2>&1; then
  rendered=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l - <"$page_source" 2>"$tmp/man.stderr") ||
    { cat "$tmp/man.stderr" >&2; fail "man -l cannot render the manual page"; }
  for heading in NAME SYNOPSIS DESCRIPTION OPTIONS OUTPUT 'EXIT STATUS' 'SEE ALSO'; do
    grep -q "^$heading\$" <<<"$rendered" || fail "the rendered manual page has no $heading section"
  done
  grep -q 'quillon - list the known applications on a smart card' <<<"$rendered" ||
    fail "the rendered manual page has no NAME line"
  checked="${checked:+$checked and }man"
fi
if [ -n "$checked" ]; then
  note "manual page renders ($checked)"
else
  note "neither man nor groff here: manual page not rendered"
fi

note "all in $((SECONDS - start)) s"
note "PASS"
