#!/usr/bin/env bash
# Soak run of the tool on the real stack: a private pcscd with the vpcd
# driver and the virtual card, in namespaces of its own (pcsc-stack.sh).
#
#   scripts/soak.sh [--cycles N] [--seed S] [--port P] [BUILD_DIR]   (as root or yourself)
#
# For N cycles (default 500) a card without catalogue applications is put in
# and pulled out at a random moment of its scan: the card killed, pcscd
# stopped, or both, half the time while the card holds back its answer to a
# chosen SELECT; pcscd is also restarted before every tenth cycle. The tool
# must never print a block and must keep running. A card carrying one
# application ends the run: the tool reports it and exits 0. Printed at the
# end: cycles, scans, blocks printed, phantom blocks, the tool's resident set
# and open descriptors, first and last. The end-to-end test e2e_soak runs the
# same for 20 cycles.
#
# BUILD_DIR (default build) must hold the tool and the virtual card
# (cmake --build BUILD_DIR).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cycles=500
seed=$(date +%s)
port=36900
build=$root/build
while [ $# -gt 0 ]; do
  case $1 in
    --cycles) cycles=${2:?--cycles needs a value}; shift 2 ;;
    --seed) seed=${2:?--seed needs a value}; shift 2 ;;
    --port) port=${2:?--port needs a value}; shift 2 ;;
    -h|--help) sed -n '2,19p' "$0"; exit 0 ;;
    -*) echo "soak: unknown option $1" >&2; exit 2 ;;
    *) build=$1; shift ;;
  esac
done

for f in "$build/quillon" "$build/tests/vcard/quillon-vcard"; do
  [ -x "$f" ] || { echo "soak: $f is missing; build first (cmake --build $build)" >&2; exit 2; }
done

exec python3 "$root/tests/e2e/e2e.py" --quillon "$build/quillon" --vcard "$build/tests/vcard/quillon-vcard" \
  --stack "$root/scripts/pcsc-stack.sh" --port "$port" --cycles "$cycles" --seed "$seed" soak
