#!/usr/bin/env bash
# Instruction counts (callgrind) and heap allocations of one card session on
# the simulated PC/SC: the card without a catalogue application (255
# SELECTs), no debug.
#
#   bench/callgrind.sh BUILD_DIR [RUNS]
#
# BUILD_DIR is a build with -DQUILLON_BENCH=ON (target bench_one_session).
# For each of RUNS runs (default 2) it prints the Ir of the session, the Ir
# of the simulator alone for the same PC/SC calls (a replay without the
# tool), and the tool's own Ir, in total and per card command. Then the Ir
# per command by part of the tool (from the last run's profile), and the
# heap allocations of the session and of the scan loop, the tool's and the
# simulator's. Needs valgrind (callgrind_annotate) and python3.
set -euo pipefail

build=${1:?usage: callgrind.sh BUILD_DIR [RUNS]}
runs=${2:-2}
exe=$build/bench/bench_one_session
[ -x "$exe" ] || { echo "callgrind.sh: $exe not found (configure with -DQUILLON_BENCH=ON)" >&2; exit 2; }
command -v valgrind >/dev/null || { echo "callgrind.sh: valgrind not found" >&2; exit 2; }

work=$(mktemp -d /tmp/quillon-callgrind.XXXXXX)
trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT

# The same program path, working directory and environment for every run,
# wherever the build and whoever the caller: the stack's layout, and with it
# the instructions that copying and clearing take, depends on them.
cp "$exe" "$work/one"

# Ir collected in the measured part of one run; $1 names the output, the
# rest are bench_one_session's arguments.
collect() {
  local name=$1
  shift
  (cd "$work" && env -i PATH=/usr/bin:/bin valgrind --tool=callgrind --collect-atstart=no \
    --callgrind-out-file="$work/$name.out" ./one "$@" >/dev/null 2>"$work/$name.err") ||
    { cat "$work/$name.err" >&2; exit 1; }
  sed -n 's/.*Collected : \([0-9]*\).*/\1/p' "$work/$name.err"
}

commands=
for run in $(seq "$runs"); do
  session=$(collect "session$run")
  sim=$(collect "replay$run" --replay)
  commands=$(sed -n 's/^commands \([0-9]*\) .*/\1/p' "$work/session$run.err")
  python3 - "$run" "$session" "$sim" "$commands" <<'PY'
import sys
run, session, sim, commands = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
own = session - sim
print(f"run {run}: session {session:,} Ir ({session / commands:,.0f}/command), "
      f"simulator alone {sim:,} Ir ({sim / commands:,.0f}/command), "
      f"tool's own {own:,} Ir ({own / commands:,.0f}/command) over {commands} commands")
PY
done

# Where the tool's own instructions go, per card command (inclusive costs
# from the last session's profile; the simulator's entry points excluded).
callgrind_annotate --inclusive=yes --threshold=100 "$work/session$runs.out" >"$work/inclusive.txt" 2>/dev/null
python3 - "$work/inclusive.txt" "$commands" <<'PY'
import re, sys
path, commands = sys.argv[1], int(sys.argv[2])
cost = {}
for line in open(path, encoding="utf-8", errors="replace"):
    m = re.match(r"\s*([\d,]+) \(\s*[\d.]+%\)\s+(\S+?):(\w+)(?:[(\s]|$)", line)
    if not m:
        continue
    ir, where, fn = int(m.group(1).replace(",", "")), m.group(2), m.group(3)
    # A function's entry under its own source file, which callgrind may list
    # under both a relative and an absolute path: the larger is the whole
    # inclusive cost. The inlined pieces listed under header files are part
    # of it already.
    parts = where.split("/")
    key = ("/".join(parts[-2:]), fn)
    cost[key] = max(cost.get(key, 0), ir)
def c(dir_file, fn):
    return cost.get((dir_file, fn), 0)
session = c("monitor/session.cpp", "run_card_session")
scan = c("catalogue/scan.cpp", "scan_catalogue")
select = c("apdu/select.cpp", "select_aid")
transmit = c("apdu/transmit.cpp", "transmit_apdu")
sim_transmit = c("sim/sim_pcsc.cpp", "SCardTransmit")
sim_other = sum(c("sim/sim_pcsc.cpp", f) for f in ("SCardConnect", "SCardDisconnect"))
parts = [
    ("building the SELECT command (select_aid without the exchange)", select - transmit),
    ("transmit_apdu around SCardTransmit (clearing the receive area)", transmit - sim_transmit),
    ("scan loop and try_select around select_aid", scan - select),
    ("session outside the scan (connect, ATR line, disconnect)", session - scan - sim_other),
]
print(f"tool's own Ir per command by part ({commands} commands):")
for name, ir in parts:
    print(f"  {ir / commands:8,.0f}  {name}")
print(f"  {sum(ir for _, ir in parts) / commands:8,.0f}  total")
PY

echo "heap allocations (global operator new):"
"$exe" --allocs 2>&1 >/dev/null | sed 's/^/  /'
