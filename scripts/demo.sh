#!/usr/bin/env bash
# Installs what Quillon needs, builds it and runs it: on the machine's own
# readers when the PC/SC service lists one, otherwise on the built-in virtual
# card (payment system environment, a Visa application and OpenPGP) in a
# private pcscd that never touches the system's. Arguments go to the tool
# (e.g. `debug`).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLON_TESTS=OFF >/dev/null
cmake --build build -j"$jobs" >/dev/null

if python3 scripts/has-reader.py; then
  echo "(using this machine's readers: insert a card)"
  exec build/quillon "$@"
fi

echo "(no reader found: running on the virtual card in a private pcscd)"
port=${QUILLON_DEMO_PORT:-35963}
run_as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}
# Inside the private stack: the virtual card plugs into vpcd, the tool reports it.
# shellcheck disable=SC2016  # the script is single-quoted so that the inner bash expands it, with its own arguments
run_as_root scripts/pcsc-stack.sh --port "$port" -- bash -c '
  card="$1"; port="$2"; shift 2
  "$card" --port "$port" --profile apps >/dev/null 2>&1 &
  card_pid=$!
  trap "kill $card_pid 2>/dev/null; wait $card_pid 2>/dev/null" EXIT
  sleep 1  # lets the card plug in first, as a card already in its reader would be
  timeout 60 build/quillon "$@"
' demo build/tests/vcard/quillon-vcard "$port" "$@"
