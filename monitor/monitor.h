// The reader monitor: the PC/SC context, the reader list, the status-change
// wait, the walk over the readers and the session with each card.
#pragma once

#include <cstdint>
#include <string>

#include "platform/pcsc.h"

constexpr DWORD MAX_READERS = 10;
constexpr DWORD STATUS_WAIT_MS = 1000;
constexpr DWORD RETRY_PAUSE_MS = 1000;
constexpr DWORD NO_READER_PAUSE_MS = 5000;

// Watches the readers and runs a card session on each after every successful
// status-change wait. Returns once a session has printed a report.
void monitor_readers();

// Converts a zero-terminated UTF-16 text (its first length units, or all of
// it when length is 0 or less) to UTF-8 in out.
void wide_to_utf8(const WCHAR* text, int length, std::string& out);

struct SessionResult {
  bool reported = false;       // at least one application block was printed
  std::uint32_t stop_code = 0;  // a connect error that calls for a new context
  // An exchange failed as a whole: by the end of the session the handle may
  // no longer have reached the card or its reader. Unless it reported, the
  // session has paused RETRY_PAUSE_MS after its disconnect.
  bool lost = false;
};

// Connects to the card in the entry's reader, prints its ATR, scans it
// against the catalogue, prints a block per application found and
// disconnects with a reset.
SessionResult run_card_session(SCARDCONTEXT context, const SCARD_READERSTATEW& entry);
