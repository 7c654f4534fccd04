#!/usr/bin/env bash
# Installs what Quillon needs, builds it and runs it: on a card in one of the
# machine's readers when the PC/SC service shows one, otherwise on the
# built-in virtual card (payment system environment, a Visa application and
# OpenPGP) in a private pcscd that never touches the system's. Either run
# ends after 60 s at the latest, and Ctrl-C ends it at once. Arguments go to
# the tool (e.g. `debug`). The build is one that `sudo cmake --install build`
# installs from as it is: the tool, its manual page and its documents.
#
# Exit status: 0 after a report; 124 when the 60 s ran out; 130 on Ctrl-C;
# 1 when the build fails, or when build/ or build-vpcd/ hold another user's
# files (left by a run as root: it says how to make them yours); 2 when the
# private pcscd cannot be set up; apt's own status when a package install
# fails (sudo's when sudo does).
#
# QUILLON_DEMO_BUILD=DIR: no package install and no build; the demo runs
# DIR/quillon and DIR/tests/vcard/quillon-vcard, which a build folder of
# this project holds already, and makes no file in the clone (the end-to-end
# test of the demo's Ctrl-C runs it so).
#
# Run it as yourself: it asks sudo for the package installs only, and for
# the private pcscd only where the kernel refuses this user a user
# namespace (where the stack otherwise runs, as this user); it says so each
# time. Run with sudo or as root in a clone of another user's, it gives the
# files it made there back to that user at the end.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# A relative QUILLON_DEMO_BUILD is taken from where the demo was started.
build=${QUILLON_DEMO_BUILD:+$(cd "$QUILLON_DEMO_BUILD" && pwd)}
cd "$root"

# shellcheck source-path=SCRIPTDIR source=privileges.sh
. "$root/scripts/privileges.sh"
if [ -z "$build" ]; then
  build=build
  trap 'give_back_clone "$root"' EXIT
  check_own_files "$root" build build-vpcd

  scripts/install-deps.sh

  # The tool, the virtual card and the documents that an install takes (the
  # compressed manual page, quillon_docs), in build/ configured as a build
  # from source would be: the tests stay as the configure finds them, so a
  # later `cmake --build build` builds them once their packages are there.
  jobs=$(nproc 2>/dev/null || echo 2)
  log=$root/build/demo-build.log
  mkdir -p build
  echo "(building Quillon in $root/build (about a minute); the build's log: $log)"
  if ! { cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo &&
         cmake --build build -j"$jobs" --target quillon quillon-vcard quillon_docs; } >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "(the build failed: the lines above are the end of $log)" >&2
    exit 1
  fi
fi

# How long the demo lets the tool run: it ends by itself after the report of
# a card with a known application, and waits for the next card otherwise.
limit=60
# timeout runs the tool with --foreground, in this script's process group:
# without it the tool is in a group of its own, which the terminal's Ctrl-C
# (and its hang-up) never reaches, and it outlives the demo. Ctrl-C then
# ends the tool, timeout and the demo at once, with status 130.
# A demo killed alone (SIGTERM to its process) takes the tool with it too:
# timeout, and the private stack, get SIGTERM when the demo ends (the
# parent-death signal, which setpriv sets before it runs them) and pass it
# on to the tool.
with_demo=(setpriv --pdeathsig TERM)

if reader=$(python3 scripts/readers.py card); then
  echo "(a card is in this machine's reader '$reader': scanning it; the demo stops the tool after $limit s)"
  status=0
  "${with_demo[@]}" timeout --foreground "$limit" "$build/quillon" "$@" || status=$?
  if [ "$status" -eq 124 ]; then
    echo "(no report in $limit s: the card carries none of the known applications, or it was taken out." \
      "$build/quillon waits for the next card without a limit; Ctrl-C ends it)"
  fi
  exit "$status"
fi

echo "(no card to scan: $reader; running on the virtual card in a private pcscd)"
# The private stack runs as this user in a user namespace where the kernel
# allows one, and as root through sudo where it does not.
stack=("${with_demo[@]}" scripts/pcsc-stack.sh)
case $(scripts/pcsc-stack.sh access) in
  root) ;;
  userns) echo "(the private pcscd runs as $(id -un), in a user namespace: no root needed)" ;;
  *)
    echo "(this kernel refuses user namespaces to $(id -un): the private pcscd, the virtual card and the tool" \
      "run as root through sudo)"
    stack=(run_as_root scripts/pcsc-stack.sh)
    ;;
esac
port=${QUILLON_DEMO_PORT:-35963}
# Inside the private stack: the virtual card plugs into vpcd, the tool reports it.
status=0
# shellcheck disable=SC2016  # the script is single-quoted so that the inner bash expands it, with its own arguments
"${stack[@]}" --port "$port" -- bash -c '
  tool="$1"; card="$2"; port="$3"; limit="$4"; shift 4
  "$card" --port "$port" --profile apps >/dev/null 2>&1 &
  card_pid=$!
  trap "kill $card_pid 2>/dev/null; wait $card_pid 2>/dev/null" EXIT
  sleep 1  # lets the card plug in first, as a card already in its reader would be
  timeout --foreground "$limit" "$tool" "$@"
' demo "$build/quillon" "$build/tests/vcard/quillon-vcard" "$port" "$limit" "$@" || status=$?
if [ "$status" -eq 124 ]; then
  echo "(the virtual card gave no report in $limit s)"
fi
echo "(to scan a real card: put it in a reader and run $build/quillon; it ends after the first card" \
  "with a known application, and Ctrl-C ends its wait)"
exit "$status"
