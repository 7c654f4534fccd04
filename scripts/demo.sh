#!/usr/bin/env bash
# Installs what Quillon needs, builds it and runs it: on a card in one of the
# machine's readers when the PC/SC service shows one, otherwise on the
# built-in virtual card (payment system environment, a Visa application and
# OpenPGP) in a private pcscd that never touches the system's. Either run
# ends after 60 s at the latest. Arguments go to the tool (e.g. `debug`).
# Needs root for the packages and the private pcscd: run as another user, it
# asks sudo for those steps only, and the build is that user's.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLON_TESTS=OFF >/dev/null
cmake --build build -j"$jobs" >/dev/null

# How long the demo lets the tool run: it ends by itself after the report of
# a card with a known application, and waits for the next card otherwise.
limit=60
run_as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

if reader=$(python3 scripts/readers.py card); then
  echo "(a card is in this machine's reader '$reader': scanning it; the demo stops the tool after $limit s)"
  status=0
  timeout "$limit" build/quillon "$@" || status=$?
  if [ "$status" -eq 124 ]; then
    echo "(no report in $limit s: the card carries none of the known applications, or it was taken out." \
      "build/quillon waits for the next card without a limit; Ctrl-C ends it)"
  fi
  exit "$status"
fi

echo "(no card to scan: $reader; running on the virtual card in a private pcscd)"
port=${QUILLON_DEMO_PORT:-35963}
# Inside the private stack: the virtual card plugs into vpcd, the tool reports it.
status=0
# shellcheck disable=SC2016  # the script is single-quoted so that the inner bash expands it, with its own arguments
run_as_root scripts/pcsc-stack.sh --port "$port" -- bash -c '
  card="$1"; port="$2"; limit="$3"; shift 3
  "$card" --port "$port" --profile apps >/dev/null 2>&1 &
  card_pid=$!
  trap "kill $card_pid 2>/dev/null; wait $card_pid 2>/dev/null" EXIT
  sleep 1  # lets the card plug in first, as a card already in its reader would be
  timeout "$limit" build/quillon "$@"
' demo build/tests/vcard/quillon-vcard "$port" "$limit" "$@" || status=$?
if [ "$status" -eq 124 ]; then
  echo "(the virtual card gave no report in $limit s)"
fi
echo "(to scan a real card: put it in a reader and run build/quillon; it ends after the first card" \
  "with a known application, and Ctrl-C ends its wait)"
exit "$status"
