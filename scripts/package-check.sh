#!/usr/bin/env bash
# Builds the Debian package of Quillon and checks what it installs.
#
#   scripts/package-check.sh [--toolchain FILE] [BUILD_DIR]   (default: build-pkg)
#
# With --toolchain, a cross build (cmake/linux-arm64.cmake,
# cmake/linux-armhf.cmake): the package is judged by its own architecture,
# its Architecture field, and its binary runs through the build's emulator
# (CMAKE_CROSSCOMPILING_EMULATOR, qemu-user).
# Installs nothing: it needs cmake, a C++ compiler, pkg-config,
# libpcsclite-dev, dpkg (dpkg-shlibdeps from dpkg-dev for the library
# dependencies), lintian, hardening-check (devscripts) and python3; man or
# groff, where present, check the manual page.
# The steps: a Release build without tests in BUILD_DIR, `cpack -G DEB`, the
# package unpacked with `dpkg -x` into a temporary directory, and then:
#   - usr/bin/quillon, the manual page, the changelog and copyright file
#     in usr/share/doc/quillon and the polkit rule in its examples/ are
#     there, and nothing else;
#   - the control fields: Package quillon, Version 1.0, Section utils,
#     Depends with libpcsclite1, Recommends pcscd, and an Architecture that
#     the file name carries;
#   - lintian reports no error and no warning (it also finds a binary that
#     is not of the package's architecture);
#   - hardening-check passes every line for the packaged binary, but
#     control-flow protection, an x86 feature, which counts on amd64 and
#     i386 only, and branch protection, an arm64 feature, which counts on
#     arm64 only. Three lines it cannot pass on its own are checked
#     otherwise: stack clash protection, which it finds only in functions
#     with frames larger than a page (the tool has none), by the flag in the
#     compile command of every source of the tool; control-flow protection
#     (x86) and branch protection (arm64), which the linker marks only when
#     every object linked has it, by the flag and by the mark on every
#     object file of the tool. Where the C library's start files (Scrt1.o,
#     crti.o, crtn.o) lack the mark, as Debian 12's do, the executable's "no"
#     is known and said in one line; where they have it, the executable
#     must have it too;
#   - the unpacked quillon, run for 3 seconds with no PC/SC service to reach,
#     prints the four banner lines first (and only them), and with `debug`
#     the banner followed only by the line for the missing service;
#   - the manual page renders;
#   - a second build in BUILD_DIR-again, its files dated a minute later,
#     gives a package of the same bytes (cpack dates every file with
#     SOURCE_DATE_EPOCH: see cmake/package-time.cmake).
# It exits non-zero with a message on the first mismatch.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
toolchain=()
if [ "${1:-}" = --toolchain ]; then
  [ -f "${2:-}" ] || { echo "package-check: FAIL: --toolchain needs a toolchain file" >&2; exit 1; }
  toolchain=("-DCMAKE_TOOLCHAIN_FILE=$(realpath "$2")")
  shift 2
fi
build=${1:-$root/build-pkg}
jobs=$(nproc 2>/dev/null || echo 2)

# shellcheck source-path=SCRIPTDIR source=check-output.sh
. "$root/scripts/check-output.sh"
check_name="package-check"

start=$SECONDS

# --- Build and package -------------------------------------------------------
for tool in lintian hardening-check python3; do
  command -v "$tool" >/dev/null 2>&1 ||
    fail "$tool not found (Debian: scripts/install-deps.sh --test installs it)"
done

# build_package DIR: a Release build of what the package holds (the tool and
# its documents) in DIR, and `cpack -G DEB`; `cpack` builds nothing more
# before it installs. Sets deb to the package's path.
build_package() {
  local dir=$1
  cmake -S "$root" -B "$dir" "${toolchain[@]}" -DCMAKE_BUILD_TYPE=Release -DQUILLON_TESTS=OFF \
    -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON -DCMAKE_COMPILE_WARNING_AS_ERROR=ON \
    -DCMAKE_EXPORT_COMPILE_COMMANDS=ON || fail "cmake configure failed"
  cmake --build "$dir" -j"$jobs" --target quillon quillon_docs || fail "build failed"
  rm -f "$dir"/quillon_*.deb
  (cd "$dir" && cpack -G DEB) || fail "cpack -G DEB failed"
  local debs=("$dir"/quillon_*.deb)
  [ -f "${debs[0]}" ] || fail "cpack made no quillon_*.deb in $dir"
  [ "${#debs[@]}" -eq 1 ] || fail "more than one package: ${debs[*]}"
  deb=${debs[0]}
}

note "building in $build"
build_package "$build"
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
expected_files=$({
  printf './usr/bin/quillon\n./%s\n' "${man_page#"$tmp/root/"}"
  printf './usr/share/doc/quillon/%s\n' changelog.gz copyright examples/pcsc-polkit.rules
} | sort)
if [ "$files" != "$expected_files" ]; then
  printf 'package files:\n%s\n' "$files" >&2
  fail "the package holds other files than usr/bin/quillon, the manual page, the changelog, the copyright file" \
    "and the polkit example"
fi
grep -q '^License: Expat$' "$tmp/root/usr/share/doc/quillon/copyright" ||
  fail "the copyright file names no Expat (MIT) licence"
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
# The package's architecture, by which it is judged below; lintian checks
# that the binary is of it.
arch=$(field Architecture)
[ "$(basename "$deb")" = "quillon_1.0_$arch.deb" ] || fail "the package $(basename "$deb") is marked $arch"
case $arch in
  amd64 | i386) x86=1 ;;
  *) x86= ;;
esac
note "Architecture: $arch"

# --- lintian -------------------------------------------------------------------
# Errors (E:) and warnings (W:) fail; the rest is shown. lintian warns on
# stderr that it runs as root, which is how CI runs it.
lintian_out=$tmp/lintian.out
lintian_status=0
lintian --no-tag-display-limit "$deb" >"$lintian_out" 2>"$tmp/lintian.err" || lintian_status=$?
if grep -q '^[EW]: ' "$lintian_out"; then
  cat "$lintian_out" >&2
  fail "lintian reports errors or warnings"
fi
if [ "$lintian_status" -ne 0 ]; then
  cat "$lintian_out" "$tmp/lintian.err" >&2
  fail "lintian ended with status $lintian_status"
fi
if [ -s "$lintian_out" ]; then
  sed 's/^/lintian: /' "$lintian_out"
fi
note "lintian $(lintian --version | sed 's/^Lintian v//'): no error, no warning"

# --- Hardening ---------------------------------------------------------------
# Its errors are left out: for a foreign binary, objdump says that it cannot
# disassemble it (stack clash protection is then "unknown", as below).
hardening=$(hardening-check "$tmp/root/usr/bin/quillon" 2>"$tmp/hardening-check.err") || true
# The compile commands and object files of the tool's own sources, with the
# flags of the package's architecture.
python3 - "$build/compile_commands.json" "$root" "$arch" >"$tmp/objects" <<'PY' || fail "the compile commands of the tool lack hardening flags"
import json, os, shlex, sys
commands, root, arch = sys.argv[1], os.path.realpath(sys.argv[2]), sys.argv[3]
needed = ["-fstack-protector-strong", "-fstack-clash-protection", "-D_FORTIFY_SOURCE="]
needed += {"amd64": ["-fcf-protection"], "i386": ["-fcf-protection"],
           "arm64": ["-mbranch-protection=standard"]}.get(arch, [])
tool_dirs = ("app", "apdu", "buffer", "catalogue", "monitor", "platform")
count = 0
for entry in json.load(open(commands)):
    source = os.path.relpath(os.path.realpath(entry["file"]), root)
    if source.split(os.sep)[0] not in tool_dirs:
        continue
    command = entry.get("command") or " ".join(entry.get("arguments", []))
    missing = [flag for flag in needed if flag not in command]
    if missing:
        sys.exit(f"{source}: compiled without {' '.join(missing)}")
    words = shlex.split(command)
    print(os.path.join(entry["directory"], words[words.index("-o") + 1]))
    count += 1
if count == 0:
    sys.exit("no compile command for the tool's sources")
PY
objects=$(wc -l <"$tmp/objects")
# The compiler, from the compile commands: a toolchain file's compiler is
# not in the cache.
cxx=$(python3 -c 'import json, shlex, sys
entry = json.load(open(sys.argv[1]))[0]
print((entry.get("arguments") or shlex.split(entry["command"]))[0])' "$build/compile_commands.json")

# mark_known WHAT MARK NAMES: the linker's mark for WHAT, a note (readelf -n)
# that the executable gets only when every object linked carries MARK (the
# features NAMES). Fails when
# an object of the tool lacks it, or when the start files that the compiler
# links into every executable carry it and the executable does not. Sets
# mark_line to the reason for the executable's "no" when the start files
# lack it.
mark_known() {
  local what=$1 mark=$2 names=$3 unmarked=0 unmarked_start='' object start_file path
  while IFS= read -r object; do
    readelf -n "$object" | grep -q "$mark" || { echo "$object" >&2; unmarked=$((unmarked + 1)); }
  done <"$tmp/objects"
  [ "$unmarked" -eq 0 ] || fail "$what: $unmarked object files of the tool lack the $names marks"
  for start_file in Scrt1.o crti.o crtn.o; do
    path=$("$cxx" -print-file-name="$start_file")
    if [ -f "$path" ] && ! readelf -n "$path" | grep -q "$mark"; then
      unmarked_start="$unmarked_start $start_file"
    fi
  done
  if [ -z "$unmarked_start" ]; then
    readelf -n "$tmp/root/usr/bin/quillon" | grep -q "$mark" ||
      fail "$what: the tool's objects and the start files carry the mark, but the executable does not"
    mark_line=
  else
    mark_line="(known: all $objects objects of the tool carry $names, the C library's start files"
    mark_line="$mark_line ${unmarked_start# } do not, so the linker leaves the mark out)"
  fi
}

# Branch protection (BTI and PAC) on arm64, judged here whatever
# hardening-check knows of it (devscripts before 2.25 have no such line).
if [ "$arch" = arm64 ]; then
  mark_known "branch protection" 'AArch64 feature: BTI, PAC' "BTI and PAC"
  if [ -n "$mark_line" ]; then
    note "branch protection: not in the executable $mark_line"
  else
    note "branch protection: the executable carries BTI and PAC, as all $objects objects of the tool and the start files"
  fi
fi

while IFS= read -r line; do
  # The known "no" lines are printed below, with their reason.
  [[ $line == *'Control flow integrity: no'* || ($arch == arm64 && $line == *'Branch Protection: no'*) ]] ||
    echo "hardening-check: $line"
  case $line in
    *:\ yes*) ;;
    *'Stack clash protection: unknown'*)
      note "stack clash protection: -fstack-clash-protection is in the compile command of all $objects" \
        "sources; hardening-check sees it only in the probes of frames larger than a page, and the tool has none" ;;
    *'Control flow integrity: no'*)
      # IBT and SHSTK are x86 features: elsewhere there is nothing to find,
      # and devscripts 2.23 reports it all the same.
      if [ -z "$x86" ]; then
        note "control-flow protection: an x86 feature, not judged on $arch"
        continue
      fi
      mark_known "control-flow protection" 'x86 feature: IBT, SHSTK' "IBT and SHSTK"
      [ -n "$mark_line" ] ||
        fail "control-flow protection: the tool's objects and the start files carry the mark, but the executable does not"
      echo "hardening-check: $line $mark_line" ;;
    *'Branch Protection:'*)
      # Branch protection (BTI and PAC) is an arm64 feature: on any other
      # architecture there is nothing to find, and devscripts 2.25 and later
      # report it all the same. On arm64 it was judged above.
      if [ "$arch" != arm64 ]; then
        note "branch protection: an arm64 feature, not judged on $arch"
      elif [ -n "$mark_line" ]; then
        echo "hardening-check: $line $mark_line"
      else
        fail "hardening-check: ${line# }"
      fi ;;
    *:) ;;
    *) fail "hardening-check: ${line# }" ;;
  esac
done <<<"$hardening"

# --- The installed binary ---------------------------------------------------------
# The pcsc-lite client library is pointed at a socket that does not exist,
# so no pcscd on this machine is reached: the tool cannot make a context and
# retries every second until `timeout` ends it. A package of another
# architecture runs through the build's emulator (qemu-user, called
# explicitly), as its tests do.
check_init "$tmp"
emulator=()
if [ "$arch" != "$(dpkg --print-architecture)" ]; then
  IFS=';' read -r -a emulator <<<"$(sed -n 's/^CMAKE_CROSSCOMPILING_EMULATOR:[A-Z]*=//p' "$build/CMakeCache.txt")"
  [ "${#emulator[@]}" -gt 0 ] ||
    fail "no emulator for the $arch binary (CMAKE_CROSSCOMPILING_EMULATOR; Debian: qemu-user)"
  note "the $arch binary runs under ${emulator[*]}"
fi

run_installed() {  # run_installed OUT [ARGS...]
  local out=$1 status=0
  shift
  PCSCLITE_CSOCK_NAME=$tmp/no-pcscd.comm timeout 3 "${emulator[@]}" "$tmp/root/usr/bin/quillon" "$@" \
    >"$out" 2>"$out.stderr" ||
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

# --- Reproducibility ---------------------------------------------------------------
# The same sources built again in another folder, and packaged as if a
# minute later: the files the package takes are dated a minute on. The
# package must be the same bytes.
again_start=$SECONDS
first=$tmp/first.deb
cp "$deb" "$first"
again=${build%/}-again
note "building again in $again"
# The files that an earlier run dated a minute on go first: a source changed
# within that minute would not have them made again.
rm -f "$again/quillon" "$again"/doc/*
build_package "$again"
later=$(( $(date +%s) + 60 ))
rm -f "$again"/quillon_*.deb
touch -d "@$later" "$again/quillon" "$again"/doc/*
(cd "$again" && cpack -G DEB >/dev/null) || fail "cpack -G DEB failed in $again"
second=("$again"/quillon_*.deb)
if ! cmp -s "$first" "${second[0]}"; then
  cmp "$first" "${second[0]}" || true
  diff <(dpkg-deb -c "$first") <(dpkg-deb -c "${second[0]}") >&2 || true
  fail "two builds of the same sources give different packages"
fi
note "reproducible: the package from $again, its files dated a minute later, is the same bytes" \
  "($(sha256sum "$first" | cut -d' ' -f1); built again in $((SECONDS - again_start)) s)"
note "every file dated $(dpkg-deb --fsys-tarfile "$first" | tar -tv --full-time | awk 'NR == 1 {print $4, $5}')" \
  "(SOURCE_DATE_EPOCH)"

note "all in $((SECONDS - start)) s"
note "PASS"
