// Whole card sessions on the simulated PC/SC, with no latency: the time the
// tool spends per session and per card command, and, as the baseline to
// subtract, the simulator's own time for exactly the same PC/SC calls.
//
//   BM_Session/<card>[_debug]  run_card_session on a connected context and a
//                              reader entry (connect, ATR, scan, report
//                              blocks with serial reads, disconnect)
//   BM_Scan/no_app             scan_catalogue alone on a connected card
//   BM_SimReplay/<card>        the calls of one session, replayed straight
//                              into the simulator (no tool code)
//   BM_SimTransmit/no_app      the 255 SELECTs of the scan, replayed likewise:
//                              the simulator's own cost per SCardTransmit
//   BM_ToolOwn/<card>          a session and the replay of its calls in turn,
//                              in every iteration: the tool's own CPU time per
//                              card command beyond the PC/SC call
//
// Counters: commands (card commands per session), per_command (time per
// card command); BM_ToolOwn: session_us, sim_ns_per_command and
// own_ns_per_command, in thread CPU time. The tool's own time per command
// can also be had as (BM_Session - BM_SimReplay) / commands, or
// (BM_Scan - BM_SimTransmit) / 255, but those run minutes apart, and on a
// shared machine the speed may change in between; BM_ToolOwn measures both
// sides side by side. run_bench.sh prints all of them. Standard output goes
// to /dev/null during a run.
#include <benchmark/benchmark.h>

#include <time.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "app/console.h"
#include "bench/common.h"
#include "catalogue/scan.h"
#include "monitor/monitor.h"

namespace {

using bench::CardKind;

void set_counters(benchmark::State& state, std::size_t commands) {
  state.counters["commands"] = static_cast<double>(commands);
  state.counters["per_command"] = benchmark::Counter(static_cast<double>(commands),
                                                     benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
}

void BM_Session(benchmark::State& state, CardKind kind, bool debug) {
  const bool expect_report = kind != CardKind::no_app;
  std::size_t commands = 0;
  bench::StdoutToNull quiet;
  bench::World world;
  for (auto _ : state) {
    state.PauseTiming();
    bench::fresh_world(kind, debug, world);
    state.ResumeTiming();
    const SessionResult result = run_card_session(world.context, world.entry);
    if (result.reported != expect_report || result.stop_code != 0) {
      state.SkipWithError("the session did not end as the card calls for");
      break;
    }
    commands = static_cast<std::size_t>(sim::count("SCardTransmit"));
  }
  debug_mode = false;
  set_counters(state, commands);
}

void BM_Scan(benchmark::State& state, CardKind kind) {
  std::size_t commands = 0;
  bench::StdoutToNull quiet;
  bench::World world;
  FoundAidList found;
  found.reserve(8);
  for (auto _ : state) {
    state.PauseTiming();
    bench::fresh_world(kind, false, world);
    DWORD protocol = 0;
    const SCARDHANDLE card = bench::connect(world, protocol);
    found.clear();
    state.ResumeTiming();
    scan_catalogue(found, card, protocol);
    commands = static_cast<std::size_t>(sim::count("SCardTransmit"));
  }
  set_counters(state, commands);
}

// Replays a record of a session (connect first) or of a scan (connected
// before the timing starts).
void run_replay(benchmark::State& state, CardKind kind, const bench::Replay& record, bool connect_first) {
  if (record.unknown != 0) {
    state.SkipWithError("the record holds calls the replay cannot make");
    return;
  }
  bench::World world;
  for (auto _ : state) {
    state.PauseTiming();
    bench::fresh_world(kind, false, world);
    SCARDHANDLE card = 0;
    if (!connect_first) {
      DWORD protocol = 0;
      card = bench::connect(world, protocol);
    }
    state.ResumeTiming();
    if (bench::replay(record, world.context, card) != 0) {
      state.SkipWithError("the replay's results differ from the session's");
      break;
    }
  }
  set_counters(state, record.commands);
}

void BM_SimReplay(benchmark::State& state, CardKind kind) {
  const bench::Replay record = bench::prepare(bench::record_session(kind));
  run_replay(state, kind, record, true);
}

void BM_SimTransmit(benchmark::State& state, CardKind kind) {
  const bench::Replay record = bench::prepare(bench::record_scan(kind));
  run_replay(state, kind, record, false);
}

std::int64_t thread_cpu_ns() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// The tool's own CPU time: each iteration runs a session and then the replay
// of its PC/SC calls, each timed on the thread's CPU clock, so that both see
// the machine in the same state; the difference over the card commands is
// the time the tool spends per command beyond the PC/SC call.
void BM_ToolOwn(benchmark::State& state, CardKind kind) {
  const bench::Replay record = bench::prepare(bench::record_session(kind));
  bench::StdoutToNull quiet;
  bench::World world;
  std::int64_t session_ns = 0, sim_ns = 0;
  for (auto _ : state) {
    bench::fresh_world(kind, false, world);
    const std::int64_t t0 = thread_cpu_ns();
    run_card_session(world.context, world.entry);
    const std::int64_t t1 = thread_cpu_ns();
    bench::fresh_world(kind, false, world);
    const std::int64_t t2 = thread_cpu_ns();
    const std::size_t differing = bench::replay(record, world.context);
    const std::int64_t t3 = thread_cpu_ns();
    if (differing != 0) {
      state.SkipWithError("the replay's results differ from the session's");
      break;
    }
    session_ns += t1 - t0;
    sim_ns += t3 - t2;
  }
  const double iterations = static_cast<double>(state.iterations());
  const double commands = static_cast<double>(record.commands);
  if (iterations == 0 || commands == 0) return;
  state.counters["commands"] = commands;
  state.counters["session_us"] = static_cast<double>(session_ns) / iterations / 1000;
  state.counters["sim_ns_per_command"] = static_cast<double>(sim_ns) / iterations / commands;
  state.counters["own_ns_per_command"] = static_cast<double>(session_ns - sim_ns) / iterations / commands;
}

// The least time over the repetitions: on a shared machine the other
// programs only ever add time, so the minimum is the steadiest figure.
double least(const std::vector<double>& values) {
  return values.empty() ? 0.0 : *std::min_element(values.begin(), values.end());
}

}  // namespace

BENCHMARK_CAPTURE(BM_Session, no_app, CardKind::no_app, false)->ComputeStatistics("min", least);
BENCHMARK_CAPTURE(BM_Session, two_apps, CardKind::two_apps, false)->ComputeStatistics("min", least);
BENCHMARK_CAPTURE(BM_Session, no_app_debug, CardKind::no_app, true)->ComputeStatistics("min", least);
BENCHMARK_CAPTURE(BM_Session, two_apps_debug, CardKind::two_apps, true)->ComputeStatistics("min", least);
BENCHMARK_CAPTURE(BM_Scan, no_app, CardKind::no_app)->ComputeStatistics("min", least);
BENCHMARK_CAPTURE(BM_SimReplay, no_app, CardKind::no_app)->ComputeStatistics("min", least);
BENCHMARK_CAPTURE(BM_SimReplay, two_apps, CardKind::two_apps)->ComputeStatistics("min", least);
BENCHMARK_CAPTURE(BM_SimTransmit, no_app, CardKind::no_app)->ComputeStatistics("min", least);
BENCHMARK_CAPTURE(BM_ToolOwn, no_app, CardKind::no_app)->ComputeStatistics("min", least);
BENCHMARK_CAPTURE(BM_ToolOwn, two_apps, CardKind::two_apps)->ComputeStatistics("min", least);

// Before main, so before any benchmark runs.
const bool heap_kept = (bench::keep_heap(), true);

BENCHMARK_MAIN();
