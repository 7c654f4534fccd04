#!/usr/bin/env bash
# The tool on the real pcsc-lite stack (pcscd, the vpcd driver and the
# virtual card with its "apps" profile), against minimal_scan, which sends
# the same card commands straight through pcsc-lite with nothing around them.
#
#   bench/real_stack.sh BUILD_DIR [RUNS]
#
# BUILD_DIR is a build with -DQUILLON_BENCH=ON (quillon, quillon-vcard,
# minimal_scan). In a private pcscd (scripts/pcsc-stack.sh: as root, or as
# yourself in a user namespace) it
#   1. checks that both send the same command sequence: the card logs every
#      APDU of one run of each, and the two logs must match line for line;
#   2. times each from start to exit with the card already present (seen by
#      pcscd before the clock starts), alternating the two, RUNS runs each
#      (default 7), and prints every run, the medians, the median ratio and
#      the median CPU time (user + system) of each;
#   3. measures the tool's peak memory: maximum resident set (GNU time) and
#      heap peak (valgrind massif), each when the program is there;
#   4. measures the time from the card's arrival to the tool's first SELECT:
#      the tool waits for a card, and so does a bare pcsc-lite client
#      (minimal_scan --watch: SCardGetStatusChange on the same readers with
#      an INFINITE timeout); the card starts, and the tool's "detecting
#      AIDs..." line and the client's wake-up are timestamped as they arrive.
#      The card's own log gives the moment pcscd first powered the card (it
#      had seen it) and the first SELECT, so the time splits into pcscd's
#      detection and the tool's part. RUNS times; the medians, and the
#      tool's lag behind the bare client, are printed.
# The vpcd port is QUILLON_BENCH_PORT (default 36310) and the next one.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)

if [ "${1:-}" != --inside ]; then
  build=$(cd "${1:?usage: real_stack.sh BUILD_DIR [RUNS]}" && pwd)
  runs=${2:-7}
  for exe in quillon tests/vcard/quillon-vcard bench/minimal_scan; do
    [ -x "$build/$exe" ] || { echo "real_stack.sh: $build/$exe not found (configure with -DQUILLON_BENCH=ON)" >&2; exit 2; }
  done
  port=${QUILLON_BENCH_PORT:-36310}
  exec "$root/scripts/pcsc-stack.sh" --port "$port" -- bash "$here/real_stack.sh" --inside "$build" "$runs"
fi

build=$2
runs=$3
tool=$build/quillon
vcard=$build/tests/vcard/quillon-vcard
minimal=$build/bench/minimal_scan
work=$PCSC_STACK_DIR/bench
mkdir -p "$work"

card_pid=
start_card() {  # $1: log file
  "$vcard" --port "$PCSC_STACK_PORT" --profile apps --quiet --log "$1" &
  card_pid=$!
}
stop_card() {
  if [ -n "$card_pid" ]; then
    kill -TERM "$card_pid" 2>/dev/null || true
    wait "$card_pid" 2>/dev/null || true
    card_pid=
  fi
}
trap stop_card EXIT

# The APDU lines a log gained after line $2, without their timestamps.
apdus_since() { tail -n +"$(($2 + 1))" "$1" | sed -n 's/^[0-9]* \([<>] .*\)$/\1/p'; }

echo "== same command sequence"
start_card "$work/card.log"
"$minimal" --wait || { echo "real_stack.sh: pcscd does not see the card" >&2; exit 1; }
mark=$(wc -l <"$work/card.log")
timeout 60 "$tool" >"$work/tool.out"
apdus_since "$work/card.log" "$mark" >"$work/tool.apdus"
mark=$(wc -l <"$work/card.log")
timeout 60 "$minimal" >"$work/minimal.out"
apdus_since "$work/card.log" "$mark" >"$work/minimal.apdus"
if ! diff -q "$work/tool.apdus" "$work/minimal.apdus" >/dev/null; then
  echo "the command sequences differ:"
  diff "$work/tool.apdus" "$work/minimal.apdus" | head -20
  exit 1
fi
echo "identical: $(grep -c '^>' "$work/tool.apdus") commands, $(grep -c '^> 00A4' "$work/tool.apdus") of them SELECT"
echo "tool's report: $(grep -c "found AID" "$work/tool.out") applications; minimal_scan: $(wc -l <"$work/minimal.out")"

echo "== wall time from start to exit, card present ($runs runs each, alternating)"
python3 - "$tool" "$minimal" "$runs" <<'PY'
import os, statistics, subprocess, sys, threading, time
tool, minimal, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
def timed(argv):
    """Wall time from start to exit, and CPU time (user + system), in ms."""
    subprocess.run([minimal, "--wait"], stdout=subprocess.DEVNULL, check=True)
    with open(os.devnull, "wb") as null:
        t0 = time.perf_counter()
        proc = subprocess.Popen(argv, stdout=null, stdin=subprocess.DEVNULL)
        guard = threading.Timer(60, proc.kill)  # a run that never ends
        guard.start()
        _, status, usage = os.wait4(proc.pid, 0)
        t1 = time.perf_counter()
        guard.cancel()
    proc.returncode = os.waitstatus_to_exitcode(status)
    if proc.returncode != 0:
        sys.exit(f"real_stack.sh: {argv[0]} exited with {proc.returncode}")
    return (t1 - t0) * 1000, (usage.ru_utime + usage.ru_stime) * 1000
runs_tool, runs_minimal = [], []
for _ in range(runs):
    runs_tool.append(timed([tool]))
    runs_minimal.append(timed([minimal]))
ratios = [a[0] / b[0] for a, b in zip(runs_tool, runs_minimal)]
med = lambda xs: statistics.median(xs)
print("tool wall ms:         " + " ".join(f"{w:7.1f}" for w, _ in runs_tool))
print("minimal_scan wall ms: " + " ".join(f"{w:7.1f}" for w, _ in runs_minimal))
print(f"median wall: tool {med([w for w, _ in runs_tool]):.1f} ms, minimal_scan {med([w for w, _ in runs_minimal]):.1f} ms; "
      f"median ratio tool/minimal_scan {med(ratios):.3f} (range {min(ratios):.3f} to {max(ratios):.3f})")
print(f"median CPU (user + system): tool {med([c for _, c in runs_tool]):.1f} ms, "
      f"minimal_scan {med([c for _, c in runs_minimal]):.1f} ms")
PY

echo "== peak memory of the tool (one run, card present)"
# GNU time: a small launcher, whose own resident set (kept by the kernel
# across the exec) stays below the tool's. A launcher such as Python would
# report its own.
if [ -x /usr/bin/time ]; then
  "$minimal" --wait >/dev/null
  timeout 60 /usr/bin/time -f "%M" -o "$work/rss" "$tool" >/dev/null
  "$minimal" --wait >/dev/null
  timeout 60 /usr/bin/time -f "%M" -o "$work/rss_minimal" "$minimal" >/dev/null
  echo "maximum resident set: tool $(tail -1 "$work/rss") KiB, minimal_scan $(tail -1 "$work/rss_minimal") KiB" \
    "(the latter at most GNU time's own)"
else
  echo "maximum resident set: not measured (no /usr/bin/time; Debian package time)"
fi
if command -v valgrind >/dev/null; then
  "$minimal" --wait >/dev/null
  timeout 120 valgrind --tool=massif --massif-out-file="$work/massif.out" "$tool" >/dev/null 2>"$work/massif.err"
  python3 - "$work/massif.out" <<'PY'
import re, sys
heap = extra = 0
best = (0, 0)
for line in open(sys.argv[1]):
    m = re.match(r"mem_heap_B=(\d+)", line)
    if m: heap = int(m.group(1))
    m = re.match(r"mem_heap_extra_B=(\d+)", line)
    if m:
        extra = int(m.group(1))
        if heap + extra > sum(best): best = (heap, extra)
print(f"heap peak (massif): {best[0]:,} bytes requested, {best[0] + best[1]:,} with allocator overhead")
PY
fi
stop_card

echo "== card arrival to the tool's \"detecting AIDs...\", beside a bare client waiting on the same readers ($runs runs)"
"$minimal" --wait-empty >/dev/null || { echo "real_stack.sh: the reader does not empty" >&2; exit 1; }
python3 - "$tool" "$vcard" "$minimal" "$PCSC_STACK_PORT" "$work" "$runs" <<'PY'
import math, os, random, statistics, subprocess, sys, threading, time
tool, vcard, minimal, port, work, runs = sys.argv[1:7]
runs = int(runs)

def card_times(log):
    """From the card's log (milliseconds since the card's start): when pcscd
    first powered the card (it has seen the card), and the first SELECT."""
    powered = select = float("nan")
    for entry in open(log):
        parts = entry.split()
        if len(parts) < 2:
            continue
        if parts[1:3] == ["ctrl", "power-on"] and math.isnan(powered):
            powered = float(parts[0])
        if parts[1] == ">" and len(parts) > 2 and parts[2].startswith("00A4"):
            select = float(parts[0])
            break
    return powered, select

rows = []
for run in range(runs):
    log = os.path.join(work, f"arrival{run}.log")
    proc = subprocess.Popen([tool], stdout=subprocess.PIPE, stdin=subprocess.DEVNULL)
    watcher = subprocess.Popen([minimal, "--watch"], stdout=subprocess.PIPE, stdin=subprocess.DEVNULL)
    detected, woke = [], []
    def follow(stream, needle, into):
        # Timestamps the first line that starts with needle as it arrives.
        for line in stream:
            if not into and line.startswith(needle):
                into.append(time.time())
    readers = [threading.Thread(target=follow, args=(proc.stdout, b"detecting AIDs...", detected)),
               threading.Thread(target=follow, args=(watcher.stdout, b"card", woke))]
    for r in readers:
        r.start()
    # Both are waiting; the card arrives at a random moment of the tool's
    # status-change waits.
    time.sleep(random.uniform(1.0, 3.0))
    started = time.time()
    card = subprocess.Popen([vcard, "--port", port, "--profile", "apps", "--quiet", "--log", log])
    try:
        proc.wait(timeout=60)
        watcher.wait(timeout=60)
    finally:
        for p in (proc, watcher):
            if p.poll() is None:
                p.kill()
                p.wait()
        for r in readers:
            r.join()
        card.terminate()
        card.wait()
    subprocess.run([minimal, "--wait-empty"], stdout=subprocess.DEVNULL, check=False)
    powered, select = card_times(log)
    at = lambda xs: (xs[0] - started) * 1000 if xs else float("nan")
    rows.append((at(detected), at(woke), at(detected) - at(woke), select, powered, select - powered))

def show(title, values, digits=0):
    print(f"{title:48s}" + " ".join(f"{v:7.{digits}f}" for v in values))
show("\"detecting AIDs...\" on the tool's stdout, ms:", [r[0] for r in rows])
show("bare client (INFINITE wait) woke up, ms:", [r[1] for r in rows])
show("tool behind the bare client, ms:", [r[2] for r in rows], 1)
show("first SELECT in the card's log, ms:", [r[3] for r in rows])
show("card powered by pcscd (card's log), ms:", [r[4] for r in rows])
show("tool's part (first SELECT - power-on), ms:", [r[5] for r in rows])
med = lambda i: statistics.median(r[i] for r in rows)
print(f"median: \"detecting AIDs...\" {med(0):.0f} ms after the card's start, {med(2):.1f} ms after the bare "
      f"client woke up ({med(1):.0f} ms); first SELECT {med(3):.0f} ms, of which pcscd's detection "
      f"{med(4):.0f} ms and the tool {med(5):.0f} ms")
PY
