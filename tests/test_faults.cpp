// Every PC/SC call site the tool has, failing with every error a real stack
// gives there, once and for a while: the tool must recover, keep its
// resources balanced, and in the end print the report and return 0.
#include <gtest/gtest.h>

#include <iostream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/entry.h"
#include "tests/support.h"

namespace {

const std::set<std::string> APPLICATIONS{"A0000000031010", "A0000000041010"};

const std::vector<std::pair<const char*, LONG>> ERRORS{
    {"SCARD_E_NO_SERVICE", SCARD_E_NO_SERVICE},
    {"SCARD_E_SERVICE_STOPPED", SCARD_E_SERVICE_STOPPED},
    {"SCARD_E_NO_READERS_AVAILABLE", SCARD_E_NO_READERS_AVAILABLE},
    {"SCARD_E_READER_UNAVAILABLE", SCARD_E_READER_UNAVAILABLE},
    {"SCARD_E_NO_SMARTCARD", SCARD_E_NO_SMARTCARD},
    {"SCARD_W_REMOVED_CARD", SCARD_W_REMOVED_CARD},
    {"SCARD_W_RESET_CARD", SCARD_W_RESET_CARD},
    {"SCARD_E_SHARING_VIOLATION", SCARD_E_SHARING_VIOLATION},
    {"SCARD_E_TIMEOUT", SCARD_E_TIMEOUT},
    {"SCARD_E_INVALID_HANDLE", SCARD_E_INVALID_HANDLE},
    {"SCARD_F_INTERNAL_ERROR", SCARD_F_INTERNAL_ERROR},
    {"SCARD_E_NOT_TRANSACTED", SCARD_E_NOT_TRANSACTED},
};

// How many calls in a row fail when a fault lasts "for a while".
constexpr int WHILE = 5;

struct Outcome {
  bool returned = false;
  int status = -1;
  std::string out;
};

// One reader with a card that carries two catalogue applications. The card
// is taken out and put back every 30 s, so that a scan that a fault spoiled
// is done again after the next state change.
Outcome run_scenario(const std::function<void()>& faults) {
  support::fresh_start(false);
  sim::add_reader("Reader A");
  sim::insert_card("Reader A", support::application_card(APPLICATIONS));
  for (std::uint64_t t = 30000; t <= 150000; t += 30000) {
    sim::at(t, [] {
      sim::remove_card("Reader A");
      sim::insert_card("Reader A", support::application_card(APPLICATIONS));
    });
  }
  sim::stop_at(200000);
  faults();
  Outcome outcome;
  std::string arg0 = "quillon";
  char* argv[] = {&arg0[0], nullptr};
  support::Output out;
  outcome.returned = !sim::run_until_stop([&] { outcome.status = quillon_main(1, argv); });
  outcome.out = out.text();
  return outcome;
}

// Checks what must hold whatever failed: the report and status 0, every
// context released once, every card handle disconnected once with a reset,
// every transaction ended once with a reset and nothing sent on a handle
// after its disconnect. Returns an empty text when all holds.
std::string violations(const Outcome& outcome) {
  std::string v;
  if (!outcome.returned) v += "the tool did not end; ";
  if (outcome.status != 0) v += "status " + std::to_string(outcome.status) + "; ";
  if (outcome.out.find("found AID:   '") == std::string::npos) v += "no report; ";
  if (outcome.out.size() < 41 || outcome.out.compare(outcome.out.size() - 41, 41, support::line(std::string(39, '-'))) != 0)
    v += "output does not end with the closing line; ";

  std::map<SCARDCONTEXT, int> releases;
  std::map<SCARDHANDLE, int> disconnects;
  std::map<SCARDHANDLE, bool> in_transaction;
  std::map<SCARDHANDLE, bool> transaction_held;
  std::set<SCARDCONTEXT> contexts;
  std::set<SCARDHANDLE> handles;
  for (const sim::Call& c : sim::calls()) {
    if (c.fn == "SCardEstablishContext" && c.result == SCARD_S_SUCCESS) contexts.insert(c.context);
    if (c.fn == "SCardReleaseContext") {
      if (contexts.count(c.context) == 0) v += "release of a context never made; ";
      ++releases[c.context];
    }
    if (c.fn == "SCardConnect" && c.result == SCARD_S_SUCCESS) handles.insert(c.card);
    if (c.fn == "SCardDisconnect") {
      if (c.value != static_cast<DWORD>(SCARD_RESET_CARD)) v += "disconnect without reset; ";
      if (in_transaction[c.card]) v += "disconnect inside a transaction; ";
      ++disconnects[c.card];
    }
    if (c.fn == "SCardTransmit" || c.fn == "SCardBeginTransaction" || c.fn == "SCardEndTransaction" ||
        c.fn == "SCardReconnect") {
      if (handles.count(c.card) == 0) v += c.fn + " on a handle never connected; ";
      if (disconnects[c.card] != 0) v += c.fn + " after the disconnect; ";
    }
    if (c.fn == "SCardBeginTransaction") {
      // A begin that failed holds nothing, and may be asked again (after a
      // reset by another program) before the end that closes the attempt.
      if (transaction_held[c.card]) v += "transaction begun twice; ";
      transaction_held[c.card] = c.result == SCARD_S_SUCCESS;
      in_transaction[c.card] = true;
    }
    if (c.fn == "SCardEndTransaction") {
      if (!in_transaction[c.card]) v += "transaction ended without a begin; ";
      if (c.value != static_cast<DWORD>(SCARD_RESET_CARD)) v += "transaction ended without reset; ";
      in_transaction[c.card] = false;
      transaction_held[c.card] = false;
    }
  }
  for (SCARDCONTEXT c : contexts)
    if (releases[c] != 1) v += "context released " + std::to_string(releases[c]) + " times; ";
  for (SCARDHANDLE h : handles)
    if (disconnects[h] != 1) v += "card handle disconnected " + std::to_string(disconnects[h]) + " times; ";
  for (const auto& t : in_transaction)
    if (t.second) v += "transaction never ended; ";
  return v;
}

struct Site {
  std::string fn;
  int nth;
  std::string what;
};

// The call sites of a clean run: every call but the transmissions of
// refused SELECTs, of which the first, one in the middle and the last stand
// for all.
std::vector<Site> call_sites() {
  const Outcome clean = run_scenario([] {});
  EXPECT_EQ(violations(clean), "");
  std::vector<Site> sites;
  std::map<std::string, int> seen;
  int last_scan_select = 0;
  for (const sim::Call& c : sim::calls()) {
    const int n = ++seen[c.fn];
    if (c.fn == "Sleep") continue;
    if (c.fn == "SCardTransmit") {
      const std::string sent = support::hex(c.sent);
      const bool select = sent.compare(0, 8, "00A40400") == 0;
      const bool accepted = select && APPLICATIONS.count(sent.substr(10, sent.size() - 12)) != 0;
      if (select && seen["SCardBeginTransaction"] == 0) last_scan_select = n;
      if (select && !accepted && n != 1 && n != 100) continue;
      sites.push_back({c.fn, n, sent});
      continue;
    }
    sites.push_back({c.fn, n, ""});
  }
  sites.push_back({"SCardTransmit", last_scan_select, "last SELECT of the scan"});
  return sites;
}

}  // namespace

TEST(FaultMatrix, EveryCallSiteEveryErrorOnceAndForAWhile) {
  const std::vector<Site> sites = call_sites();
  ASSERT_GE(sites.size(), 20u);
  int cells = 0;
  for (const Site& site : sites) {
    for (const auto& [name, code] : ERRORS) {
      for (int times : {1, WHILE}) {
        const LONG error = code;
        const Outcome outcome = run_scenario([&] { sim::fail(site.fn, site.nth, error, times); });
        ++cells;
        const std::string v = violations(outcome);
        EXPECT_EQ(v, "") << site.fn << " #" << site.nth << " " << site.what << " fails with " << name << " x"
                         << times;
      }
    }
  }
  std::cout << "fault matrix: " << sites.size() << " call sites x " << ERRORS.size() << " errors x 2 = " << cells
            << " cells\n";
  RecordProperty("cells", cells);
}

TEST(FaultMatrix, ServiceStoppedInTheMiddleOfTheScan) {
  // pcscd goes away during the scan and comes back 3 s later: every call
  // fails meanwhile, the tool makes a new context and reports the card.
  const Outcome outcome = run_scenario([] {
    sim::on_call([done = false](const sim::Call& c) mutable {
      if (!done && c.fn == "SCardTransmit" && sim::count("SCardTransmit") == 5) {
        done = true;
        sim::set_service(false);
        sim::at(c.at_ms + 3000, [] { sim::set_service(true); });
      }
    });
  });
  EXPECT_EQ(violations(outcome), "");
  EXPECT_GE(sim::count("SCardEstablishContext"), 2);
}
