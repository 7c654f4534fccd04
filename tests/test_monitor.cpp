// The reader monitor loop on the simulated PC/SC: contexts, listings, count
// changes, waits, the walk over the readers and recovery from failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "monitor/monitor.h"
#include "tests/support.h"

using support::line;

namespace {

const std::string NO_READERS = line("no SCard readers detected...");
const std::string CONNECTED = line("A reader has been connected during the last 1000 ms!\n\n");
const std::string REMOVED = line("A reader has been removed !\n\n");

// Runs the monitor until the virtual clock reaches until_ms (or it returns).
std::string run_monitor(std::uint64_t until_ms, bool* returned = nullptr) {
  sim::stop_at(until_ms);
  support::Output out;
  const bool stopped = sim::run_until_stop([] { monitor_readers(); });
  if (returned != nullptr) *returned = !stopped;
  return out.text();
}

int occurrences(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + what.size())) ++n;
  return n;
}

std::vector<DWORD> sleeps() {
  std::vector<DWORD> out;
  for (const sim::Call& c : sim::calls_of("Sleep")) out.push_back(c.value);
  return out;
}

// A card that carries no catalogue application.
sim::Card blank_card() { return support::application_card({}); }

bool starts_with(const std::string& text, const std::string& start) { return text.compare(0, start.size(), start) == 0; }

// Runs change once, right before the first listing made at or after ms: the
// reader list changes between two passes rather than during a wait.
void before_listing_at(std::uint64_t ms, std::function<void()> change) {
  sim::on_call([ms, change, done = false](const sim::Call& c) mutable {
    if (!done && c.fn == "SCardListReaders" && c.at_ms >= ms) {
      done = true;
      change();
    }
  });
}

}  // namespace

TEST(Monitor, NoReaderPausesFiveSecondsEveryPass) {
  support::fresh_start(true);
  const std::string out = run_monitor(17500);
  // Passes at 0, 5000, 10000 and 15000 ms: each lists, says so, pauses
  // 5000 ms and waits over no entry, which returns at once (as on pcscd).
  EXPECT_EQ(out, NO_READERS + NO_READERS + NO_READERS + NO_READERS);
  EXPECT_EQ(sleeps(), (std::vector<DWORD>{5000, 5000, 5000, 5000}));
  const auto waits = sim::calls_of("SCardGetStatusChange");
  ASSERT_EQ(waits.size(), 3u);
  for (std::size_t i = 0; i < waits.size(); ++i) {
    EXPECT_EQ(waits[i].at_ms, 5000u * (i + 1));
    EXPECT_EQ(waits[i].value, 1000u);     // timeout
    EXPECT_EQ(waits[i].protocols, 0u);    // reader count
    EXPECT_EQ(waits[i].result, SCARD_S_SUCCESS);
  }
  EXPECT_EQ(sim::count("SCardEstablishContext"), 1);
  EXPECT_EQ(sim::calls_of("SCardEstablishContext")[0].value, static_cast<DWORD>(SCARD_SCOPE_USER));

  support::fresh_start(false);
  EXPECT_EQ(run_monitor(17500), "");
}

TEST(Monitor, ReaderPluggedInIsAnnouncedAndVisitedAtOnce) {
  support::fresh_start(true);
  sim::at(7000, [] {
    sim::add_reader("Reader A");
    sim::insert_card("Reader A", blank_card());
  });
  const std::string out = run_monitor(15000);
  const std::string expected_start = NO_READERS + NO_READERS + CONNECTED + line("Reader: Reader A") +
                                     line("SCARD_STATE_PRESENT: There is a card in the reader.") +
                                     line("ATR: '3B8880010000000000000000'") + line("detecting AIDs...");
  EXPECT_TRUE(starts_with(out, expected_start));
  EXPECT_EQ(occurrences(out, "failed to read AID list => retrying\r\n"), 1);
  EXPECT_EQ(occurrences(out, CONNECTED), 1);
  // The first wait after the count change starts from the unaware state.
  const auto waits = sim::calls_of("SCardGetStatusChange");
  const auto first_with_reader =
      std::find_if(waits.begin(), waits.end(), [](const sim::Call& c) { return c.states.size() == 1; });
  ASSERT_NE(first_with_reader, waits.end());
  EXPECT_EQ(first_with_reader->states[0].second, static_cast<DWORD>(SCARD_STATE_UNAWARE));
  // The following waits block on the state seen in the walk, and time out silently.
  EXPECT_NE((first_with_reader + 1)->states[0].second, static_cast<DWORD>(SCARD_STATE_UNAWARE));
  EXPECT_EQ(sim::count("SCardConnect"), 1);
  EXPECT_EQ(sim::open_cards(), 0);
}

TEST(Monitor, UnpluggedReaderIsAnnouncedAndTheOtherVisitedAgain) {
  support::fresh_start(true);
  sim::add_reader("Reader A");
  sim::add_reader("Reader B");
  sim::insert_card("Reader A", blank_card());
  sim::insert_card("Reader B", blank_card());
  before_listing_at(5000, [] { sim::remove_reader("Reader A"); });
  const std::string out = run_monitor(9000);
  // No count-change line on the first listing of a context.
  EXPECT_EQ(out.find(CONNECTED), std::string::npos);
  EXPECT_EQ(occurrences(out, REMOVED), 1);
  EXPECT_EQ(occurrences(out, line("Reader: Reader A")), 1);
  EXPECT_EQ(occurrences(out, line("Reader: Reader B")), 2);
  const std::size_t removed = out.find(REMOVED);
  EXPECT_EQ(out.compare(removed + REMOVED.size(), 18, line("Reader: Reader B")), 0);
}

TEST(Monitor, ReplacedReaderIsWaitedOnAfresh) {
  // A reader replaced by another between two listings, as a USB reader
  // plugged back comes under a name with its new port: the same count, and
  // the new reader's card gives the same state and event count as the old
  // one's. Only its name tells; its card is scanned on the next pass.
  support::fresh_start(true);
  sim::add_reader("Reader (1-1) 00 00");
  sim::insert_card("Reader (1-1) 00 00", blank_card());
  before_listing_at(4500, [] {
    sim::remove_reader("Reader (1-1) 00 00");
    sim::add_reader("Reader (1-2) 00 00");
    sim::insert_card("Reader (1-2) 00 00", support::application_card({"A0000000031010"}));
  });
  bool returned = false;
  const std::string out = run_monitor(60000, &returned);
  EXPECT_TRUE(returned);
  EXPECT_EQ(out.find(REMOVED), std::string::npos);
  EXPECT_EQ(out.find(CONNECTED), std::string::npos);
  EXPECT_EQ(occurrences(out, line("Reader: Reader (1-1) 00 00")), 1);
  EXPECT_EQ(occurrences(out, line("Reader: Reader (1-2) 00 00")), 1);
  EXPECT_NE(out.find(line("found AID:   'A0000000031010'")), std::string::npos);
  const auto waits = sim::calls_of("SCardGetStatusChange");
  ASSERT_GE(waits.size(), 3u);
  // An unchanged name keeps its state from pass to pass; the new name starts unaware.
  ASSERT_EQ(waits[1].states.size(), 1u);
  EXPECT_EQ(waits[1].states[0].first, "Reader (1-1) 00 00");
  EXPECT_NE(waits[1].states[0].second, static_cast<DWORD>(SCARD_STATE_UNAWARE));
  const auto first_new = std::find_if(waits.begin(), waits.end(), [](const sim::Call& w) {
    return w.states.size() == 1 && w.states[0].first == "Reader (1-2) 00 00";
  });
  ASSERT_NE(first_new, waits.end());
  EXPECT_EQ(first_new->states[0].second, static_cast<DWORD>(SCARD_STATE_UNAWARE));
  EXPECT_EQ(first_new->result, SCARD_S_SUCCESS);
  EXPECT_EQ(sim::count("SCardEstablishContext"), 1);
}

TEST(Monitor, ReaderLostInASessionIsLookedAtAfresh) {
  // A USB reader pulled at the 40th SELECT and plugged back at once comes
  // back under its old name, holding the same card, with the same state and
  // event count as before: only the failed exchanges of the session tell.
  // pcsc-lite answers every later exchange on the old handle with
  // SCARD_E_INVALID_VALUE. After a pause the reader is waited on from the
  // unaware state, and its card is scanned and reported.
  const std::string name = "Reader 00 00";
  const auto openpgp = [] { return support::application_card({"D27600012401"}); };  // late in the catalogue
  support::fresh_start(false);
  sim::add_reader(name);
  sim::insert_card(name, openpgp());
  sim::on_call([&](const sim::Call& c) {
    if (c.fn == "SCardTransmit" && sim::count("SCardTransmit") == 39) {
      sim::remove_reader(name);
      sim::add_reader(name);
      sim::insert_card(name, openpgp());
    }
  });
  bool returned = false;
  std::string out = run_monitor(60000, &returned);
  EXPECT_TRUE(returned);
  EXPECT_EQ(occurrences(out, "detecting AIDs..."), 2);
  EXPECT_EQ(occurrences(out, "failed to read AID list => retrying"), 1);
  EXPECT_NE(out.find(line("found AID:   'D27600012401'")), std::string::npos) << out;
  auto transmits = sim::calls_of("SCardTransmit");
  ASSERT_GE(transmits.size(), 41u);
  EXPECT_EQ(transmits[39].result, SCARD_E_INVALID_VALUE);
  auto waits = sim::calls_of("SCardGetStatusChange");
  ASSERT_EQ(waits.size(), 2u);
  EXPECT_EQ(waits[1].states.at(0).second, static_cast<DWORD>(SCARD_STATE_UNAWARE));
  // The pause after the lost session comes before that wait.
  EXPECT_EQ(sleeps(), std::vector<DWORD>{1000});
  EXPECT_GE(waits[1].at_ms, 1000u);
  EXPECT_EQ(sim::count("SCardEstablishContext"), 1);
  EXPECT_EQ(sim::open_cards(), 0);

  // A card that answers every SELECT with 6A 82 is no lost session: it is
  // scanned once, then again only when its reader's state changes.
  support::fresh_start(false);
  sim::add_reader(name);
  sim::insert_card(name, blank_card());
  sim::at(20000, [&] { sim::set_state_bits(name, SCARD_STATE_INUSE); });
  out = run_monitor(40000);
  EXPECT_EQ(occurrences(out, "detecting AIDs..."), 2);
  EXPECT_EQ(sim::count("SCardConnect"), 2);
  EXPECT_EQ(sim::calls_of("SCardConnect")[1].at_ms, 20000u);
  EXPECT_TRUE(sleeps().empty());
  waits = sim::calls_of("SCardGetStatusChange");
  EXPECT_TRUE(std::none_of(waits.begin() + 1, waits.end(), [](const sim::Call& w) {
    return w.states.at(0).second == static_cast<DWORD>(SCARD_STATE_UNAWARE);
  }));

  // A card that stays in the reader but fails every exchange is looked at
  // again only after a pause each time, never in a tight loop.
  support::fresh_start(false);
  sim::add_reader(name);
  sim::Card failing = blank_card();
  failing.respond = [](const sim::Bytes&) { return sim::Answer{{}, static_cast<LONG>(SCARD_F_COMM_ERROR)}; };
  sim::insert_card(name, failing);
  out = run_monitor(10000);
  const auto connects = sim::calls_of("SCardConnect");
  ASSERT_GE(connects.size(), 2u);
  EXPECT_LE(connects.size(), 10u);
  for (std::size_t i = 1; i < connects.size(); ++i) EXPECT_GE(connects[i].at_ms - connects[i - 1].at_ms, 1000u);
  EXPECT_EQ(occurrences(out, "failed to read AID list => retrying"), static_cast<int>(connects.size()));
  EXPECT_EQ(sim::count("SCardEstablishContext"), 1);
}

TEST(Monitor, OnlyTheFirstTenReadersAreWatched) {
  support::fresh_start(false);
  for (int i = 0; i < 11; ++i) {
    sim::add_reader("Reader " + std::to_string(i));
    sim::insert_card("Reader " + std::to_string(i), blank_card());
  }
  const std::string out = run_monitor(500);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(occurrences(out, line("Reader: Reader " + std::to_string(i))), 1) << i;
  EXPECT_EQ(out.find("Reader 10"), std::string::npos);
  EXPECT_EQ(sim::calls_of("SCardGetStatusChange")[0].states.size(), 10u);
}

TEST(Monitor, EveryListedReaderIsVisitedAfterASuccessfulWait) {
  support::fresh_start(false);
  sim::add_reader("Reader A");
  sim::add_reader("Reader B");
  sim::add_reader("Reader C");
  sim::insert_card("Reader A", blank_card());
  sim::insert_card("Reader B", blank_card());
  sim::insert_card("Reader C", blank_card());
  sim::at(3500, [] { sim::set_state_bits("Reader B", SCARD_STATE_INUSE); });
  const std::string out = run_monitor(6000);
  // Two walks (the start, and B's change): every reader both times, in list order.
  const std::string walk_a = line("Reader: Reader A");
  EXPECT_EQ(occurrences(out, walk_a), 2);
  EXPECT_EQ(occurrences(out, line("Reader: Reader B")), 2);
  EXPECT_EQ(occurrences(out, line("Reader: Reader C")), 2);
  EXPECT_LT(out.rfind(walk_a), out.rfind("Reader: Reader B"));
  EXPECT_LT(out.rfind("Reader: Reader B"), out.rfind("Reader: Reader C"));
}

TEST(Monitor, SilentTimeoutAndStatusChangeError) {
  support::fresh_start(true);
  sim::add_reader("Reader A");
  sim::insert_card("Reader A", blank_card());
  std::string out = run_monitor(300);
  const std::string first_walk = out;
  // Nothing changes: waits time out and write nothing, in debug mode too.
  support::fresh_start(true);
  sim::add_reader("Reader A");
  sim::insert_card("Reader A", blank_card());
  out = run_monitor(10000);
  EXPECT_EQ(out, first_walk);
  EXPECT_GE(sim::count("SCardGetStatusChange"), 9);

  // A failed wait is reported and the next pass begins at once in the same context.
  support::fresh_start(true);
  sim::add_reader("Reader A");
  sim::fail("SCardGetStatusChange", 1, SCARD_F_INTERNAL_ERROR);
  out = run_monitor(2500);
  EXPECT_TRUE(starts_with(out, line("status change error 80100001") + line("Reader: Reader A")));
  // No pause after the failed wait: the next listing follows at once.
  const auto& all = sim::calls();
  const auto failed = std::find_if(all.begin(), all.end(), [](const sim::Call& c) {
    return c.fn == "SCardGetStatusChange" && c.result == static_cast<LONG>(SCARD_F_INTERNAL_ERROR);
  });
  ASSERT_NE(failed, all.end());
  EXPECT_EQ((failed + 1)->fn, "SCardListReaders");
  EXPECT_EQ((failed + 1)->at_ms, failed->at_ms);
  const auto seq = sim::sequence();
  EXPECT_EQ(std::count(seq.begin(), std::find(seq.begin(), seq.end(), "SCardConnect"),
                       std::string("SCardEstablishContext")),
            1);

  // A reader gone between the listing and the wait: pcsc-lite refuses the
  // wait at once, and the next pass lists and visits the reader left.
  support::fresh_start(true);
  sim::add_reader("Reader A");
  sim::add_reader("Reader B");
  sim::insert_card("Reader B", blank_card());
  sim::on_call([done = false](const sim::Call& c) mutable {
    if (!done && c.fn == "SCardGetStatusChange") {
      done = true;
      sim::remove_reader("Reader A");
    }
  });
  out = run_monitor(2500);
  EXPECT_TRUE(starts_with(out, line("status change error 80100009") + REMOVED + line("Reader: Reader B"))) << out;
  EXPECT_EQ(occurrences(out, "status change error"), 1);
}

TEST(Monitor, ListingFailureMakesANewContext) {
  for (int failing_call : {1, 2}) {
    support::fresh_start(true);
    sim::add_reader("Reader A");
    sim::insert_card("Reader A", blank_card());
    // The wide listing asks pcsc-lite for the list twice per call: the 1st
    // underlying call fails the length query, the 3rd the fetch of the names.
    sim::fail("SCardListReaders", failing_call == 1 ? 1 : 3, SCARD_E_NO_SERVICE);
    const std::string out = run_monitor(1500);
    EXPECT_TRUE(starts_with(out, line("failed to list SCard readers (err 8010001D)-> wait"))) << failing_call;
    // The new context's first listing announces nothing.
    EXPECT_EQ(out.find(CONNECTED), std::string::npos);
    const auto seq = sim::sequence();
    std::vector<std::string> expected{"SCardEstablishContext", "SCardListReaders"};
    if (failing_call == 2) expected.insert(expected.end(), {"SCardListReaders", "SCardListReaders"});
    expected.insert(expected.end(), {"SCardReleaseContext", "Sleep", "SCardEstablishContext"});
    ASSERT_GE(seq.size(), expected.size()) << failing_call;
    EXPECT_EQ(std::vector<std::string>(seq.begin(), seq.begin() + static_cast<long>(expected.size())), expected);
    ASSERT_FALSE(sim::calls_of("Sleep").empty());
    EXPECT_EQ(sim::calls_of("Sleep")[0].value, 1000u);
    EXPECT_EQ(sim::open_contexts(), 1);  // only the one in use when stopped
  }
}

TEST(Monitor, ReaderAddedWhileTheListIsFetchedIsTakenAtOnce) {
  // pcsc-lite's list grows between its length query and the fetch of the
  // names: the fetch answers SCARD_E_INSUFFICIENT_BUFFER, and the listing is
  // asked again rather than failed.
  support::fresh_start(true);
  sim::add_reader("Reader A");
  sim::on_call([done = false](const sim::Call& c) mutable {
    if (!done && c.fn == "SCardListReaders" && c.with_buffer) {
      done = true;
      sim::add_reader("Reader B");
      sim::insert_card("Reader B", blank_card());
    }
  });
  const std::string out = run_monitor(500);
  const auto lists = sim::calls_of("SCardListReaders");
  ASSERT_GE(lists.size(), 3u);
  EXPECT_EQ(lists[1].result, SCARD_E_INSUFFICIENT_BUFFER);
  EXPECT_EQ(lists[2].result, SCARD_S_SUCCESS);
  EXPECT_EQ(out.find("failed to list"), std::string::npos);
  EXPECT_TRUE(starts_with(out, line("Reader: Reader A"))) << out;
  EXPECT_NE(out.find(line("Reader: Reader B")), std::string::npos) << out;
  EXPECT_EQ(sim::count("SCardEstablishContext"), 1);
}

TEST(Monitor, ContextRetriedEverySecondUntilTheServiceAnswers) {
  support::fresh_start(true);
  sim::fail_until("SCardEstablishContext", 4500, SCARD_E_NO_SERVICE);
  const std::string out = run_monitor(6000);
  const std::string failure = line("failed to establish SCard context (err 8010001D)-> wait");
  EXPECT_EQ(out, failure + failure + failure + failure + failure + NO_READERS);
  EXPECT_EQ(sleeps(), (std::vector<DWORD>{1000, 1000, 1000, 1000, 1000, 5000}));
  EXPECT_EQ(sim::open_contexts(), 1);
  EXPECT_EQ(sim::count("SCardReleaseContext"), 0);
}

TEST(Monitor, StateFlagLinesInDebugMode) {
  support::fresh_start(true);
  sim::add_reader("Reader A");
  sim::insert_card("Reader A", blank_card());
  sim::set_state_bits("Reader A", 0x3FF & ~static_cast<DWORD>(SCARD_STATE_CHANGED));
  const std::string out = run_monitor(100);
  const std::string expected =
      line("Reader: Reader A") + line("SCARD_STATE_IGNORE: this reader should be ignored") +
      line("SCARD_STATE_UNKNOWN: The given reader name is not recognized by the resource manager. If this bit is "
           "set, then SCARD_STATE_CHANGED and SCARD_STATE_IGNORE will also be set.") +
      line("SCARD_STATE_UNAVAILABLE: The actual state of this reader is not available. If this bit is set, then all "
           "the following bits are clear.") +
      line("SCARD_STATE_EMPTY: There is no card in the reader. If this bit is set, all the following bits will be "
           "clear.") +
      line("SCARD_STATE_PRESENT: There is a card in the reader.") +
      line("SCARD_STATE_ATRMATCH: There is a card in the reader with an ATR matching one of the target cards. If this "
           "bit is set, SCARD_STATE_PRESENT will also be set. This bit is only returned on the SCardLocateCards "
           "function.") +
      line("SCARD_STATE_EXCLUSIVE: The card in the reader is allocated for exclusive use by another application.If "
           "this bit is set, SCARD_STATE_PRESENT will also be set.") +
      line("SCARD_STATE_INUSE: The card in the reader is in use by one or more other applications, but may be "
           "connected to in shared mode.If this bit is set, SCARD_STATE_PRESENT will also be set.") +
      line("SCARD_STATE_MUTE: There is an unresponsive card in the reader.") + line("ATR: '3B8880010000000000000000'");
  EXPECT_TRUE(starts_with(out, expected));

  // Without debug only the reader name is written.
  support::fresh_start(false);
  sim::add_reader("Reader A");
  sim::set_state_bits("Reader A", 0x3FF);
  EXPECT_EQ(run_monitor(100), line("Reader: Reader A"));
}

TEST(Monitor, ReaderNamesArePrintedLiterallyInUtf8) {
  const std::vector<std::pair<std::string, std::string>> names{
      {"Lecteur \xC3\xA9t\xC3\xA9 \xF0\x9F\x98\x80 \xE4\xB8\xAD", "Lecteur \xC3\xA9t\xC3\xA9 \xF0\x9F\x98\x80 \xE4\xB8\xAD"},
      {"%s%n%x%08X", "%s%n%x%08X"},
      {std::string(250, 'R'), std::string(250, 'R')},
      // Not UTF-8 (a Latin-1 byte, a cut sequence): U+FFFD on the console.
      {"bad \xFF\xC3 name", "bad \xEF\xBF\xBD\xEF\xBF\xBD name"},
      {"Caf\xE9 Reader 00 00", "Caf\xEF\xBF\xBD Reader 00 00"},
      // Control characters never reach the terminal: C0, DEL and C1 (but
      // not U+00A0) become '?'; a Latin-1 byte in the C1 range is not UTF-8.
      {"Evil\x1B[2J\x1B[H\rfound AID:   X\x07", "Evil?[2J?[H?found AID:   X?"},
      {"C1 \xC2\x85\xC2\x9B\xC2\x9F|\xC2\xA0|\x7F|\x85|\x01\x1F", "C1 ???|\xC2\xA0|?|\xEF\xBF\xBD|??"},
  };
  for (const auto& [given, printed] : names) {
    support::fresh_start(true);
    sim::stop_after_calls(200);
    sim::add_reader(given);
    sim::insert_card(given, blank_card());
    const std::string out = run_monitor(100);
    EXPECT_TRUE(starts_with(out, line("Reader: " + printed))) << printed;
    EXPECT_EQ(out.find("status change error"), std::string::npos) << printed;
    // The platform gets the name back as it gave it, whatever its bytes.
    ASSERT_EQ(sim::count("SCardConnect"), 1) << printed;
    EXPECT_EQ(sim::calls_of("SCardConnect")[0].reader, given);
    EXPECT_EQ(sim::calls_of("SCardGetStatusChange")[0].states.at(0).first, given);
    // The session follows as usual.
    EXPECT_NE(out.find(line("ATR: '3B8880010000000000000000'") + line("detecting AIDs...")), std::string::npos);
  }
}

TEST(Monitor, ConnectErrorRenewsTheContextAfterTheWalk) {
  // A card held exclusively by another program: the connect fails with a
  // code other than a removed card.
  support::fresh_start(true);
  sim::add_reader("Reader A");
  sim::add_reader("Reader B");
  sim::insert_card("Reader A", blank_card());
  sim::insert_card("Reader B", blank_card());
  sim::fail("SCardConnect", 1, SCARD_E_SHARING_VIOLATION);
  const std::string out = run_monitor(1200);
  const std::string expected_start = line("Reader: Reader A") +
                                     line("SCARD_STATE_PRESENT: There is a card in the reader.") +
                                     line("connect res 8010000b") + line("connect error 8010000b") +
                                     line("Reader: Reader B");
  EXPECT_TRUE(starts_with(out, expected_start));
  // B was still visited in the same walk; then the context was given up and a new one made.
  const auto seq = sim::sequence();
  const auto release = std::find(seq.begin(), seq.end(), "SCardReleaseContext");
  ASSERT_NE(release, seq.end());
  ASSERT_NE(release + 1, seq.end());
  EXPECT_EQ(*(release + 1), "SCardEstablishContext");
  EXPECT_EQ(std::count(seq.begin(), release, "SCardConnect"), 2);
  ASSERT_FALSE(sleeps().empty());
  EXPECT_EQ(sleeps().at(0), 1000u);
  EXPECT_EQ(out.find(CONNECTED), std::string::npos);
}

TEST(Monitor, ReportEndsTheLoopAndSkipsTheRemainingReaders) {
  support::fresh_start(false);
  sim::add_reader("Reader A");
  sim::add_reader("Reader B");
  sim::insert_card("Reader A", support::application_card({"A0000000031010"}));
  sim::insert_card("Reader B", support::application_card({"A0000000031010"}));
  bool returned = false;
  const std::string out = run_monitor(60000, &returned);
  EXPECT_TRUE(returned);
  EXPECT_EQ(out.find("Reader B"), std::string::npos);
  EXPECT_EQ(sim::count("SCardConnect"), 1);
  EXPECT_EQ(sim::open_contexts(), 0);
  EXPECT_EQ(sim::open_cards(), 0);
  EXPECT_EQ(sim::sequence().back(), "SCardReleaseContext");
}
