// A simulated PC/SC stack for the tests: pcsc-lite's API (and Sleep) with
// readers, cards and faults under the test's control, a virtual clock, and a
// record of every call. It is linked in place of libpcsclite, so everything
// above it, the wide-character adapter included, is the shipped code.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/pcsc.h"

namespace sim {

using Bytes = std::vector<std::uint8_t>;

// A card's answer to one command: the bytes (data then SW1 SW2), or a
// failed exchange when result is not 0.
struct Answer {
  Bytes bytes;
  LONG result = SCARD_S_SUCCESS;
  // A faulty stack: the receive length reported back, whatever was written
  // (at most the capacity given) — may claim more than the receive area holds.
  bool lie_about_length = false;
  DWORD reported_length = 0;
};

using Responder = std::function<Answer(const Bytes& command)>;

struct Card {
  Bytes atr;
  DWORD protocol = SCARD_PROTOCOL_T1;
  Responder respond;                  // answers every command; 6D 00 when empty
  std::function<void()> on_reset;     // called when a disconnect or transaction end resets the card
};

// One call into the stack, with its arguments and result.
struct Call {
  std::string fn;              // "SCardEstablishContext", ..., "Sleep"
  SCARDCONTEXT context = 0;
  SCARDHANDLE card = 0;
  DWORD value = 0;             // scope, timeout, share mode, disposition, reader count, or milliseconds
  DWORD protocols = 0;         // SCardConnect: preferred protocols
  std::string reader;          // SCardConnect: the reader name as pcsc-lite got it (UTF-8)
  bool with_buffer = false;    // SCardListReaders: a buffer was given
  const SCARD_IO_REQUEST* pci = nullptr;  // SCardTransmit: the send PCI
  bool receive_pci = false;    // SCardTransmit: a receive PCI was given
  DWORD receive_capacity = 0;  // SCardTransmit: receive length on entry
  Bytes sent;                  // SCardTransmit: the command
  // SCardGetStatusChange: each entry's reader name and current state on entry.
  std::vector<std::pair<std::string, DWORD>> states;
  LONG result = SCARD_S_SUCCESS;
  std::uint64_t at_ms = 0;     // virtual time of the call
};

// Thrown out of a call to end a run that would otherwise go on forever.
struct Stop {};

// Empties the world: no readers, no faults, no events, clock at 0, empty record.
void reset();

// Readers: names are UTF-8 as pcsc-lite gives them (they may hold any bytes).
void add_reader(const std::string& name);
void remove_reader(const std::string& name);
void insert_card(const std::string& reader, Card card);
void remove_card(const std::string& reader);
// Extra state bits reported for a reader (e.g. SCARD_STATE_INUSE), or'd into
// what its card presence gives.
void set_state_bits(const std::string& reader, DWORD bits);
// A faulty stack: SCardListReaders hands out exactly these bytes (and their
// length) as the reader list, terminated or not. Empty: the real list.
void set_raw_reader_list(const std::string& bytes);
// How a status-change wait answers for an entry whose reader name the stack
// does not know at the time of the call: pcsc-lite (the default) fails at
// once with SCARD_E_UNKNOWN_READER; WinSCard succeeds and gives the entry
// SCARD_STATE_UNKNOWN | SCARD_STATE_CHANGED | SCARD_STATE_IGNORE. A reader
// that goes away during a wait gets the latter in either case. A wait over
// no reader at all returns 0 at once, as pcsc-lite's does.
enum class UnknownReader { pcsc_lite, winscard };
void answer_unknown_reader(UnknownReader answer);
// pcscd going away and coming back: while down, every call fails with
// SCARD_E_NO_SERVICE and contexts made before are gone.
void set_service(bool running);

// The nth call of fn (counted from 1 since reset) and the times - 1 calls of fn
// after it fail with code, before anything else happens.
void fail(const std::string& fn, int nth, LONG code, int times = 1);
// Every call of fn fails with code until the virtual clock reaches until_ms.
void fail_until(const std::string& fn, std::uint64_t until_ms, LONG code);

// Runs event when the virtual clock reaches ms (while Sleep or a status-change
// wait lets time pass, or at the next call made at or after ms).
void at(std::uint64_t ms, std::function<void()> event);
// Called at the start of every call, before faults are applied; may change
// the world or throw Stop.
void on_call(std::function<void(const Call&)> hook);
// Throws Stop from the first call made once the clock has passed ms, or once
// this many calls have been made (a guard against endless loops).
void stop_at(std::uint64_t ms);
void stop_after_calls(std::size_t calls);

std::uint64_t now_ms();
const std::vector<Call>& calls();
std::vector<Call> calls_of(const std::string& fn);
int count(const std::string& fn);
// The names of the calls in order, e.g. {"SCardEstablishContext", "SCardListReaders", ...}.
std::vector<std::string> sequence();

// Runs body, which is expected to end by Stop; returns true if it did.
bool run_until_stop(const std::function<void()>& body);

// Contexts and card handles still open.
int open_contexts();
int open_cards();
int open_transactions();

// Simple cards for tests.
Card card_answering(Bytes atr, DWORD protocol, std::function<Bytes(const Bytes&)> answer);

}  // namespace sim
