// Shared by the benchmarks: a simulated world with one reader and a card,
// the recording of the PC/SC calls a card session makes, their replay
// straight into the simulated PC/SC (to tell the simulator's own cost from
// the tool's), and standard output sent to /dev/null.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "platform/pcsc.h"
#include "tests/sim/sim_pcsc.h"

namespace bench {

// The cards the benchmarks run on.
enum class CardKind {
  no_app,    // accepts none of the catalogue's AIDs: 255 SELECTs, no report
  two_apps,  // accepts two of them: report blocks and serial reads
};

// The AIDs the card accepts.
const std::set<std::string>& accepted_aids(CardKind kind);

// One reader with the card in it and a context made on the simulated PC/SC,
// everything else empty; entry is the reader's state as the monitor's
// status-change wait leaves it (name, card present, ATR).
struct World {
  SCARDCONTEXT context = 0;
  SCARD_READERSTATEW entry{};
};
void fresh_world(CardKind kind, bool debug, World& world);

// Connects to the card in the world's reader, as the session does; returns
// the handle (0 on failure) and sets protocol.
SCARDHANDLE connect(const World& world, DWORD& protocol);

// The PC/SC calls made on the card by one session (connect to disconnect),
// or by scan_catalogue alone on a connected card, as the simulator recorded
// them.
std::vector<sim::Call> record_session(CardKind kind);
std::vector<sim::Call> record_scan(CardKind kind);

// A record turned into plain steps, decoded before any timing so that a
// replay spends nothing beyond the PC/SC calls themselves.
struct Step {
  enum class Fn { connect, status, transmit, begin, end, reconnect, disconnect } fn = Fn::transmit;
  DWORD value = 0;      // share mode, disposition or initialisation
  DWORD protocols = 0;  // preferred protocols
  const SCARD_IO_REQUEST* pci = nullptr;
  DWORD capacity = 0;   // receive length on entry
  LONG result = SCARD_S_SUCCESS;
  std::size_t sent = 0;     // offset of the command in Replay::bytes
  std::size_t length = 0;   // its length
};
struct Replay {
  std::vector<Step> steps;
  std::vector<std::uint8_t> bytes;  // every command, one after another
  std::string reader;
  std::size_t commands = 0;         // transmits
  std::size_t unknown = 0;          // recorded calls a replay cannot make
};
Replay prepare(const std::vector<sim::Call>& calls);

// Makes the recorded card calls again, with the same arguments, straight
// into the simulated PC/SC of a fresh world; card is the handle for calls
// made before a connect in the record (a scan alone). Returns the number of
// calls whose result differs from the record (0 when the replay is faithful).
std::size_t replay(const Replay& record, SCARDCONTEXT context, SCARDHANDLE card = 0);

// Keeps freed heap memory in the process. Every fresh world frees the
// simulator's call record (about 100 KB per session); glibc would hand that
// back to the system and fault it in again while the next session grows the
// record, a cost of the simulator that would otherwise land in the timings
// of whatever runs beside it. Called once at the start of a benchmark program.
void keep_heap();

// Sends standard output to /dev/null while it lives (the file descriptor,
// so that everything the tool prints, flushes included, goes there).
class StdoutToNull {
 public:
  StdoutToNull();
  ~StdoutToNull();
  StdoutToNull(const StdoutToNull&) = delete;
  StdoutToNull& operator=(const StdoutToNull&) = delete;

 private:
  int saved_ = -1;
};

}  // namespace bench
