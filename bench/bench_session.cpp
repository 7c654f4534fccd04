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
//
// Counters: commands (card commands per session), per_command (time per
// card command). The tool's own time per command is
// (BM_Session - BM_SimReplay) / commands, or (BM_Scan - BM_SimTransmit) / 255;
// run_bench.sh prints both. Standard output goes to /dev/null during a run.
#include <benchmark/benchmark.h>

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

}  // namespace

BENCHMARK_CAPTURE(BM_Session, no_app, CardKind::no_app, false);
BENCHMARK_CAPTURE(BM_Session, two_apps, CardKind::two_apps, false);
BENCHMARK_CAPTURE(BM_Session, no_app_debug, CardKind::no_app, true);
BENCHMARK_CAPTURE(BM_Session, two_apps_debug, CardKind::two_apps, true);
BENCHMARK_CAPTURE(BM_Scan, no_app, CardKind::no_app);
BENCHMARK_CAPTURE(BM_SimReplay, no_app, CardKind::no_app);
BENCHMARK_CAPTURE(BM_SimReplay, two_apps, CardKind::two_apps);
BENCHMARK_CAPTURE(BM_SimTransmit, no_app, CardKind::no_app);

// Before main, so before any benchmark runs.
const bool heap_kept = (bench::keep_heap(), true);

BENCHMARK_MAIN();
