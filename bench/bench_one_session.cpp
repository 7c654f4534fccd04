// One card session of the card without a catalogue application, no debug, on
// the simulated PC/SC: the subject of callgrind.sh.
//
//   bench_one_session            runs a warm-up session, then the measured
//                                one; under callgrind (--collect-atstart=no)
//                                only the measured session is counted
//   bench_one_session --replay   the same, but the measured part replays the
//                                session's PC/SC calls straight into the
//                                simulator: its Ir is the simulator's share
//   bench_one_session --allocs   counts heap allocations: of the session, of
//                                the scan loop, and of the simulator alone
//                                for the same calls, and prints the tool's
//                                share per card command
//
// Every allocation goes through the global operator new here (the tool and
// the simulator hold their data in standard containers), which is replaced
// below by a counting one.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#if defined(__has_include)
#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#endif
#endif
#ifndef CALLGRIND_TOGGLE_COLLECT
#define CALLGRIND_TOGGLE_COLLECT
#endif

#include "bench/common.h"
#include "catalogue/scan.h"
#include "monitor/monitor.h"

namespace {

std::size_t g_allocations = 0;
std::size_t g_bytes = 0;

void* counted(std::size_t size) {
  ++g_allocations;
  g_bytes += size;
  void* block = std::malloc(size != 0 ? size : 1);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

struct Count {
  std::size_t allocations = 0;
  std::size_t bytes = 0;
};

// Allocations made while body runs.
template <typename Body>
Count count_allocations(Body body) {
  const std::size_t a = g_allocations, b = g_bytes;
  body();
  return Count{g_allocations - a, g_bytes - b};
}

void print_line(const char* what, const Count& count, std::size_t commands) {
  std::fprintf(stderr, "%-44s %6zu allocations %8zu bytes  %6.2f per command\n", what, count.allocations, count.bytes,
               commands != 0 ? static_cast<double>(count.allocations) / static_cast<double>(commands) : 0.0);
}

int measure_allocations() {
  using bench::CardKind;
  const bench::Replay session_record = bench::prepare(bench::record_session(CardKind::no_app));
  const bench::Replay scan_record = bench::prepare(bench::record_scan(CardKind::no_app));
  bench::World world;

  // The whole session, and the same calls without the tool.
  bench::fresh_world(CardKind::no_app, false, world);
  Count session;
  {
    bench::StdoutToNull quiet;
    session = count_allocations([&] { run_card_session(world.context, world.entry); });
  }
  bench::fresh_world(CardKind::no_app, false, world);
  const Count session_sim = count_allocations([&] { bench::replay(session_record, world.context); });

  // The scan loop alone, and its SELECTs without the tool.
  bench::fresh_world(CardKind::no_app, false, world);
  DWORD protocol = 0;
  SCARDHANDLE card = bench::connect(world, protocol);
  FoundAidList found;
  found.reserve(8);
  const Count scan = count_allocations([&] { scan_catalogue(found, card, protocol); });
  bench::fresh_world(CardKind::no_app, false, world);
  card = bench::connect(world, protocol);
  const Count scan_sim = count_allocations([&] { bench::replay(scan_record, world.context, card); });

  const std::size_t n = scan_record.commands;
  std::fprintf(stderr, "card without a catalogue application, no debug: %zu card commands per session\n",
               session_record.commands);
  print_line("session (tool + simulator)", session, session_record.commands);
  print_line("session, simulator alone (same calls)", session_sim, session_record.commands);
  print_line("session, tool's own",
             Count{session.allocations - session_sim.allocations, session.bytes - session_sim.bytes},
             session_record.commands);
  print_line("scan loop (tool + simulator)", scan, n);
  print_line("scan loop, simulator alone (same calls)", scan_sim, n);
  print_line("scan loop, tool's own", Count{scan.allocations - scan_sim.allocations, scan.bytes - scan_sim.bytes}, n);
  return 0;
}

// Runs a warm-up and then the measured session (or, with replay_only, the
// replay of its PC/SC calls without the tool); under callgrind only the
// measured part is counted. Prints the commands, calls and allocations of
// the measured part on standard error.
int measure_session(bool replay_only) {
  const bench::Replay record = bench::prepare(bench::record_session(bench::CardKind::no_app));
  bench::World world;
  bench::StdoutToNull quiet;
  // The warm-up leaves lazy symbol binding and first-use work behind.
  bench::fresh_world(bench::CardKind::no_app, false, world);
  if (replay_only)
    bench::replay(record, world.context);
  else
    run_card_session(world.context, world.entry);
  bench::fresh_world(bench::CardKind::no_app, false, world);
  const std::size_t before = g_allocations;
  std::size_t differing = 0;
  SessionResult result;
  CALLGRIND_TOGGLE_COLLECT;
  if (replay_only)
    differing = bench::replay(record, world.context);
  else
    result = run_card_session(world.context, world.entry);
  CALLGRIND_TOGGLE_COLLECT;
  const std::size_t allocations = g_allocations - before;
  std::fprintf(stderr, "commands %d pcsc_calls %zu allocations %zu\n", sim::count("SCardTransmit"),
               sim::calls().size() - 1, allocations);
  // The card has no catalogue application: a report would be wrong.
  return result.reported || differing != 0 ? 1 : 0;
}

}  // namespace

void* operator new(std::size_t size) { return counted(size); }
void* operator new[](std::size_t size) { return counted(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  ++g_allocations;
  g_bytes += size;
  return std::malloc(size != 0 ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }

int main(int argc, char** argv) {
  bench::keep_heap();
  if (argc > 1 && std::strcmp(argv[1], "--allocs") == 0) return measure_allocations();
  if (argc > 1 && std::strcmp(argv[1], "--replay") == 0) return measure_session(true);
  if (argc > 1) {
    std::fprintf(stderr, "usage: bench_one_session [--replay | --allocs]\n");
    return 2;
  }
  return measure_session(false);
}
