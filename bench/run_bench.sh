#!/usr/bin/env bash
# Runs the session benchmarks and prints, besides Google Benchmark's own
# table, the figures derived from it: time per session and per card command,
# the simulator's own time per command, and the tool's own CPU per command
# beyond the PC/SC call (session minus the replay of its calls).
#
#   bench/run_bench.sh BUILD_DIR [REPETITIONS] [MIN_TIME_S]
#
# BUILD_DIR is a build with -DQUILLON_BENCH=ON. Each benchmark runs
# REPETITIONS times (default 10) for at least MIN_TIME_S seconds each
# (default 0.2); the derived figures use CPU time, the least and the median
# over the repetitions. Keep other work off the machine while it runs; with
# QUILLON_BENCH_CPU=N the run is pinned to CPU N (taskset). On a shared
# virtual machine a core's speed can change twofold from one minute to the
# next: compare figures from one run only, and take callgrind.sh's counts
# for anything finer.
set -euo pipefail

build=${1:?usage: run_bench.sh BUILD_DIR [REPETITIONS] [MIN_TIME_S]}
reps=${2:-10}
min_time=${3:-0.2}
exe=$build/bench/bench_session
[ -x "$exe" ] || { echo "run_bench.sh: $exe not found (configure with -DQUILLON_BENCH=ON)" >&2; exit 2; }

json=$(mktemp /tmp/quillon-bench.XXXXXX.json)
trap 'rm -f "$json"' EXIT
pin=()
if [ -n "${QUILLON_BENCH_CPU:-}" ]; then pin=(taskset -c "$QUILLON_BENCH_CPU"); fi
"${pin[@]}" "$exe" --benchmark_repetitions="$reps" --benchmark_min_time="$min_time" --benchmark_report_aggregates_only=true \
  --benchmark_out="$json" --benchmark_out_format=json

python3 - "$json" <<'PY'
import json, sys
data = json.load(open(sys.argv[1]))
stats = {"min": {}, "median": {}}
own = {}
for b in data["benchmarks"]:
    which = b.get("aggregate_name")
    if which not in stats:
        continue
    scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[b["time_unit"]]
    if b["run_name"].startswith("BM_ToolOwn/"):
        own.setdefault(b["run_name"], {})[which] = b
        continue
    stats[which][b["run_name"]] = (b["cpu_time"] * scale * 1e6, b["real_time"] * scale * 1e6, int(b["commands"]))
print()
print("CPU time per session and per card command, least of the repetitions (median in brackets):")
for name, (cpu, real, n) in stats["min"].items():
    med = stats["median"].get(name, (cpu, real, n))[0]
    print(f"  {name:28s} {cpu:8.1f} us [{med:8.1f}]  {cpu / n * 1000:6.0f} ns/command [{med / n * 1000:6.0f}]  ({n} commands)")
print()
for session, replay in (("BM_Session/no_app", "BM_SimReplay/no_app"),
                        ("BM_Session/two_apps", "BM_SimReplay/two_apps"),
                        ("BM_Scan/no_app", "BM_SimTransmit/no_app")):
    line = []
    for which in ("min", "median"):
        s = stats[which]
        if session in s and replay in s:
            n = s[session][2]
            line.append(f"{(s[session][0] - s[replay][0]) / n * 1000:5.0f} ns/command by the {which}s "
                        f"(simulator alone {s[replay][0] / n * 1000:.0f})")
    if line:
        print(f"tool's own CPU beyond the PC/SC call, {session}: " + "; ".join(line))
print()
print("side by side (BM_ToolOwn, thread CPU time; least of the repetitions, median in brackets):")
for name, by in own.items():
    lo, med = by.get("min"), by.get("median")
    if lo is None or med is None:
        continue
    print(f"  {name:20s} session {lo['session_us']:7.1f} us [{med['session_us']:7.1f}]; per card command: "
          f"simulator {lo['sim_ns_per_command']:5.0f} ns [{med['sim_ns_per_command']:5.0f}], "
          f"tool's own {lo['own_ns_per_command']:5.0f} ns [{med['own_ns_per_command']:5.0f}]")
PY
