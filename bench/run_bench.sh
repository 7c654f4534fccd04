#!/usr/bin/env bash
# Runs the session benchmarks and prints, besides Google Benchmark's own
# table, the figures derived from it: time per session and per card command,
# the simulator's own time per command, and the tool's own CPU per command
# beyond the PC/SC call (session minus the replay of its calls).
#
#   bench/run_bench.sh BUILD_DIR [REPETITIONS] [MIN_TIME_S]
#
# BUILD_DIR is a build with -DQUILLON_BENCH=ON. Each benchmark runs
# REPETITIONS times (default 5) for at least MIN_TIME_S seconds each (default
# 0.5); the derived figures use the medians of CPU time. Keep other work off
# the machine while it runs.
set -euo pipefail

build=${1:?usage: run_bench.sh BUILD_DIR [REPETITIONS] [MIN_TIME_S]}
reps=${2:-5}
min_time=${3:-0.5}
exe=$build/bench/bench_session
[ -x "$exe" ] || { echo "run_bench.sh: $exe not found (configure with -DQUILLON_BENCH=ON)" >&2; exit 2; }

json=$(mktemp /tmp/quillon-bench.XXXXXX.json)
trap 'rm -f "$json"' EXIT
"$exe" --benchmark_repetitions="$reps" --benchmark_min_time="$min_time" --benchmark_report_aggregates_only=true \
  --benchmark_out="$json" --benchmark_out_format=json

python3 - "$json" <<'PY'
import json, sys
data = json.load(open(sys.argv[1]))
med = {}
for b in data["benchmarks"]:
    if b.get("aggregate_name") != "median":
        continue
    scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[b["time_unit"]]
    med[b["run_name"]] = (b["cpu_time"] * scale * 1e6, b["real_time"] * scale * 1e6, int(b["commands"]))
def us(name):
    return med[name][0]
print()
print("medians, CPU time (wall time in brackets):")
for name, (cpu, real, n) in med.items():
    print(f"  {name:28s} {cpu:9.1f} us/session [{real:9.1f}]  {cpu / n * 1000:7.0f} ns/command over {n} commands")
print()
for session, replay in (("BM_Session/no_app", "BM_SimReplay/no_app"),
                        ("BM_Session/two_apps", "BM_SimReplay/two_apps"),
                        ("BM_Scan/no_app", "BM_SimTransmit/no_app")):
    if session in med and replay in med:
        n = med[session][2]
        own = (us(session) - us(replay)) / n * 1000
        print(f"tool's own CPU beyond the PC/SC call, {session}: {own:6.0f} ns/command "
              f"(simulator alone {us(replay) / n * 1000:.0f} ns/command)")
PY
