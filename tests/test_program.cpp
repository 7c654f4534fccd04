// The whole program on the simulated PC/SC: banner, card session, scan,
// report blocks with the serial number, and the exact bytes of its output.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "apdu/transmit.h"
#include "app/entry.h"
#include "catalogue/aid_catalogue.h"
#include "tests/support.h"

using support::BANNER;
using support::line;

namespace {

const std::string RULE = line("---------------------------------------");
const std::string SERIAL = line("received serial number (id): '1122334455667788' ");

struct ProgramRun {
  std::string out;
  bool returned = false;
  int status = -1;
};

ProgramRun run_program(bool debug, std::uint64_t until_ms = 120000) {
  sim::stop_at(until_ms);
  std::string arg0 = "quillon", arg1 = "debug";
  char* argv[] = {&arg0[0], debug ? &arg1[0] : nullptr, nullptr};
  ProgramRun run;
  support::Output out;
  run.returned = !sim::run_until_stop([&] { run.status = quillon_main(debug ? 2 : 1, argv); });
  run.out = out.text();
  return run;
}

std::string block(const AidRecord& row, const std::string& serial_lines = SERIAL) {
  return RULE + line("found AID:   '" + row.aid + "'") + line("name:        '" + row.name + "'") +
         line("description: '" + row.description + "'") + line("vendor:      '" + row.vendor + "'") + serial_lines +
         RULE;
}

const AidRecord& row(int number) { return AidCatalogue[number - 1]; }

int sent_with_prefix(const std::string& hex_prefix) {
  int n = 0;
  for (const auto& c : sim::calls_of("SCardTransmit"))
    if (support::hex(c.sent).compare(0, hex_prefix.size(), hex_prefix) == 0) ++n;
  return n;
}

int occurrences(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + what.size())) ++n;
  return n;
}

}  // namespace

TEST(Program, ReportsTwoApplicationsAndEnds) {
  support::fresh_start();
  sim::add_reader("Reader A");
  sim::add_reader("Reader B");
  sim::insert_card("Reader A", support::application_card({"A0000000031010", "A0000000041010"}));
  sim::insert_card("Reader B", support::application_card({"A0000000031010"}));
  const ProgramRun run = run_program(false);
  ASSERT_TRUE(run.returned);
  EXPECT_EQ(run.status, 0);
  const std::string expected =
      std::string(BANNER) + line("Reader: Reader A") + line("ATR: '3B8880010000000000000000'") +
      line("detecting AIDs...") +
      RULE + line("found AID:   'A0000000031010'") + line("name:        'VISA Debit/Credit (Classic)'") +
      line("description: 'Standard/Gold VISA credit card'") + line("vendor:      'Visa International'") + SERIAL +
      RULE + RULE + line("found AID:   'A0000000041010'") + line("name:        'MasterCard Credit'") +
      line("description: 'Standard MasterCard'") + line("vendor:      'Mastercard International'") + SERIAL + RULE;
  EXPECT_EQ(run.out, expected);

  // One connect, shared, offering T=0 and T=1; the second reader is never visited.
  const auto connects = sim::calls_of("SCardConnect");
  ASSERT_EQ(connects.size(), 1u);
  EXPECT_EQ(connects[0].reader, "Reader A");
  EXPECT_EQ(connects[0].value, static_cast<DWORD>(SCARD_SHARE_SHARED));
  EXPECT_EQ(connects[0].protocols, static_cast<DWORD>(SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1));
  // 255 SELECTs in the scan, one again per block; a GET RESPONSE after each accepted one.
  EXPECT_EQ(sent_with_prefix("00A40400"), 255 + 2);
  EXPECT_EQ(sent_with_prefix("00C00000"), 2 + 2);
  EXPECT_EQ(sent_with_prefix("80CA9F7F00"), 2);
  // Every handle disconnected once with a reset, every transaction ended once with a reset, the context released.
  const auto disconnects = sim::calls_of("SCardDisconnect");
  ASSERT_EQ(disconnects.size(), 1u);
  EXPECT_EQ(disconnects[0].value, static_cast<DWORD>(SCARD_RESET_CARD));
  for (const auto& end : sim::calls_of("SCardEndTransaction")) EXPECT_EQ(end.value, static_cast<DWORD>(SCARD_RESET_CARD));
  EXPECT_EQ(sim::count("SCardEndTransaction"), 2);
  EXPECT_EQ(sim::open_transactions(), 0);
  EXPECT_EQ(sim::open_cards(), 0);
  EXPECT_EQ(sim::open_contexts(), 0);
  EXPECT_EQ(sim::sequence().back(), "SCardReleaseContext");
}

TEST(Program, ScanOrderAndTraceInDebugMode) {
  support::fresh_start();
  sim::add_reader("Reader A");
  sim::insert_card("Reader A", support::application_card({"A0000000031010", "A0000000041010"}));
  const ProgramRun run = run_program(true);
  ASSERT_TRUE(run.returned);
  const auto lines = support::lines(run.out);
  // The scan tries rows 1 and 2 first, every row in catalogue order.
  std::vector<std::string> selects;
  for (const auto& l : lines)
    if (l.compare(0, 15, "send: '00A40400") == 0) selects.push_back(l);
  ASSERT_EQ(selects.size(), 257u);
  EXPECT_EQ(selects[0], "send: '00A404000E315041592E5359532E444446303100' ");
  EXPECT_EQ(selects[1], "send: '00A404000E325041592E5359532E444446303100' ");
  EXPECT_EQ(selects[7], "send: '00A4040007A000000003101000' ");
  EXPECT_EQ(occurrences(run.out, line("failed to select AID: '315041592E5359532E4444463031' : 6A82")), 1);
  EXPECT_EQ(occurrences(run.out, line("AID 'A0000000031010' selected")), 2);  // scan and serial read
  EXPECT_EQ(occurrences(run.out, line("send: '80CA9F7F00' (get_serial)")), 2);
  EXPECT_EQ(occurrences(run.out, line("disconnect reader")), 1);
  // Level-1 lines stand in the same order as without debug.
  const std::string report_start = line("found AID:   'A0000000031010'");
  EXPECT_LT(run.out.find(line("detecting AIDs...")), run.out.find(report_start));
  EXPECT_LT(run.out.find(report_start), run.out.find(line("found AID:   'A0000000041010'")));
  EXPECT_LT(run.out.rfind(RULE), run.out.find(line("disconnect reader")));
}

TEST(Program, AidInTwoRowsGetsTwoBlocks) {
  support::fresh_start();
  sim::add_reader("Reader A");
  sim::insert_card("Reader A", support::application_card({"D040000013000001"}));
  const ProgramRun run = run_program(false);
  ASSERT_TRUE(run.returned);
  ASSERT_EQ(row(211).aid, "D040000013000001");
  ASSERT_EQ(row(212).aid, "D040000013000001");
  const std::string expected = std::string(BANNER) + line("Reader: Reader A") +
                               line("ATR: '3B8880010000000000000000'") + line("detecting AIDs...") + block(row(211)) +
                               block(row(212));
  EXPECT_EQ(run.out, expected);
  EXPECT_EQ(sent_with_prefix("00A4040008D040000013000001"), 2 + 2);
}

TEST(Program, TextsArePrintedByteForByte) {
  support::fresh_start();
  sim::add_reader("Reader A");
  // Row 1's description is the no-value mark; row 121's vendor holds a byte above 0x7F.
  sim::insert_card("Reader A", support::application_card({"315041592E5359532E4444463031", row(121).aid}));
  const ProgramRun run = run_program(false);
  ASSERT_TRUE(run.returned);
  EXPECT_NE(run.out.find(line("description: '\xA0'")), std::string::npos);
  EXPECT_NE(run.out.find(line("name:        'Visa Payment System Environment - PSE (1PAY.SYS.DDF01)'")),
            std::string::npos);
  EXPECT_NE(run.out.find(line("vendor:      '" + row(121).vendor + "'")), std::string::npos);
  EXPECT_TRUE(std::any_of(row(121).vendor.begin(), row(121).vendor.end(),
                          [](char c) { return static_cast<unsigned char>(c) > 0x7F; }));
}

TEST(Program, CardWithoutApplicationsIsScannedAgainAfterTheNextChange) {
  support::fresh_start();
  sim::add_reader("Reader A");
  sim::insert_card("Reader A", support::application_card({}));
  sim::at(10500, [] {
    sim::remove_card("Reader A");
    sim::insert_card("Reader A", support::application_card({"A0000000041010"}, "0102030405060708"));
  });
  const ProgramRun run = run_program(false);
  ASSERT_TRUE(run.returned);
  const std::string retry = std::string(BANNER) + line("Reader: Reader A") + line("ATR: '3B8880010000000000000000'") +
                            line("detecting AIDs...") + line("failed to read AID list => retrying");
  const std::string expected = retry + line("Reader: Reader A") + line("ATR: '3B8880010000000000000000'") +
                               line("detecting AIDs...") +
                               block(row(27), line("received serial number (id): '0102030405060708' "));
  EXPECT_EQ(run.out, expected);
  // Two scans, each ended by a disconnect with reset; nothing scanned while waiting.
  EXPECT_EQ(sent_with_prefix("00A404000E3150"), 2);
  const auto disconnects = sim::calls_of("SCardDisconnect");
  ASSERT_EQ(disconnects.size(), 2u);
  for (const auto& d : disconnects) EXPECT_EQ(d.value, static_cast<DWORD>(SCARD_RESET_CARD));
  EXPECT_GE(sim::calls_of("SCardConnect")[1].at_ms, 10500u);
}

TEST(Program, CardPulledBeforeTheConnect) {
  // Two readers with a card each; the first card is pulled just before the connect.
  const auto pulled_before_connect = [](bool debug) {
    support::fresh_start();
    for (const char* reader : {"Reader A", "Reader B"}) {
      sim::add_reader(reader);
      sim::insert_card(reader, support::application_card({"A0000000031010"}));
    }
    sim::fail("SCardConnect", 1, SCARD_W_REMOVED_CARD);
    return run_program(debug);
  };
  const ProgramRun run = pulled_before_connect(true);
  ASSERT_TRUE(run.returned);
  const std::string pulled = line("connect res 80100069") + line("card removed") + line("Reader: Reader B");
  EXPECT_NE(run.out.find(pulled), std::string::npos);
  // No pause, and the walk went on in the same context.
  EXPECT_EQ(sim::count("Sleep"), 0);
  EXPECT_EQ(sim::count("SCardEstablishContext"), 1);

  // Without debug the failed connect writes nothing.
  const ProgramRun quiet = pulled_before_connect(false);
  EXPECT_NE(quiet.out.find(line("Reader: Reader A") + line("Reader: Reader B") + line("ATR: '3B8880010000000000000000'")),
            std::string::npos);
}

TEST(Program, EmptyReaderBesideACard) {
  // The connect to the empty reader tells of a card that is not there: no
  // pause and no new context. The card beside it, which carries no catalogue
  // application, is scanned once; then the tool rests in the status-change
  // wait until something changes.
  support::fresh_start();
  sim::add_reader("Empty");
  sim::add_reader("Reader B");
  sim::insert_card("Reader B", support::application_card({}));
  const ProgramRun run = run_program(true, 20000);
  EXPECT_FALSE(run.returned);
  EXPECT_NE(run.out.find(line("Reader: Empty") +
                         line("SCARD_STATE_EMPTY: There is no card in the reader. If this bit is set, all the "
                              "following bits will be clear.") +
                         line("connect res 80100069") + line("card removed") + line("Reader: Reader B")),
            std::string::npos);
  EXPECT_EQ(run.out.find("connect error"), std::string::npos);
  EXPECT_EQ(occurrences(run.out, line("detecting AIDs...")), 1);
  EXPECT_EQ(sim::count("SCardEstablishContext"), 1);
  EXPECT_EQ(sim::count("SCardReleaseContext"), 0);
  EXPECT_EQ(sim::count("SCardConnect"), 2);
  EXPECT_EQ(sim::count("Sleep"), 0);
  EXPECT_GE(sim::count("SCardGetStatusChange"), 15);  // about one timed-out wait a second
}

TEST(Program, AtrOfEveryLength) {
  for (std::size_t length : {0u, 1u, 33u}) {
    support::fresh_start();
    sim::add_reader("Reader A");
    sim::Bytes atr(length);
    for (std::size_t i = 0; i < length; ++i) atr[i] = static_cast<std::uint8_t>(0xF0 + i % 16);
    sim::insert_card("Reader A", support::application_card({"A0000000031010"}, "1122334455667788",
                                                           SCARD_PROTOCOL_T1, atr));
    const ProgramRun run = run_program(false);
    ASSERT_TRUE(run.returned);
    EXPECT_NE(run.out.find(line("ATR: '" + support::hex(atr) + "'")), std::string::npos) << length;
  }
}

TEST(Program, T0CardIsServedWithTheT0ProtocolBlock) {
  support::fresh_start();
  sim::add_reader("Reader A");
  sim::insert_card("Reader A", support::application_card({"A0000000031010"}, "1122334455667788", SCARD_PROTOCOL_T0));
  const ProgramRun run = run_program(false);
  ASSERT_TRUE(run.returned);
  EXPECT_NE(run.out.find(SERIAL), std::string::npos);
  for (const auto& c : sim::calls_of("SCardTransmit")) EXPECT_EQ(c.pci, &g_rgSCardT0Pci);
}

TEST(Program, AtrIsTheConnectedCardsNotTheLastWaits) {
  // Reader A's card carries no application; while the walk is busy with
  // its scan, a card comes into reader B, empty at the wait, or B's card is
  // swapped. B's session shows the ATR of the card it connected to.
  const sim::Bytes late_atr = support::bytes("3B8F8001804F0CA000000306030001000000006A");
  struct Case {
    const char* what;
    bool card_at_the_wait;
  };
  for (const Case& c : {Case{"put in", false}, Case{"swapped", true}}) {
    support::fresh_start();
    sim::add_reader("Reader A");
    sim::add_reader("Reader B");
    sim::insert_card("Reader A", support::application_card({}));
    if (c.card_at_the_wait)
      sim::insert_card("Reader B", support::application_card({}, "1122334455667788", SCARD_PROTOCOL_T1,
                                                             support::bytes("3B00")));
    sim::on_call([late_atr, done = false](const sim::Call& call) mutable {
      if (!done && call.fn == "SCardTransmit" && sim::count("SCardTransmit") == 100) {
        done = true;
        sim::remove_card("Reader B");
        sim::insert_card("Reader B", support::application_card({"A0000000031010"}, "1122334455667788",
                                                               SCARD_PROTOCOL_T1, late_atr));
      }
    });
    const ProgramRun run = run_program(false);
    ASSERT_TRUE(run.returned) << c.what;
    EXPECT_NE(run.out.find(line("Reader: Reader B") + line("ATR: '" + support::hex(late_atr) + "'") +
                           line("detecting AIDs...") + RULE + line("found AID:   'A0000000031010'")),
              std::string::npos)
        << c.what << "\n" << run.out;
    // Each session asked the stack for its own card's ATR, right after the connect.
    const std::vector<std::string> calls = sim::sequence();
    for (std::size_t i = 0; i < calls.size(); ++i)
      if (calls[i] == "SCardConnect" && sim::calls()[i].result == SCARD_S_SUCCESS) {
        EXPECT_EQ(calls.at(i + 1), "SCardStatus");
      }
  }

  // Where the stack cannot give the ATR (the card left right after the
  // connect), the wait's stands in.
  support::fresh_start();
  sim::add_reader("Reader A");
  sim::insert_card("Reader A", support::application_card({"A0000000031010"}));
  sim::fail("SCardStatus", 1, SCARD_W_REMOVED_CARD);
  const ProgramRun run = run_program(false);
  ASSERT_TRUE(run.returned);
  EXPECT_NE(run.out.find(line("ATR: '3B8880010000000000000000'")), std::string::npos);
}

TEST(Program, ResetsByAnotherProgramDuringTheScanLoseNothing) {
  // Another program resets the card at set moments of the scan and of the
  // serial reads (six times 50 exchanges apart, then before a transaction
  // and before a GET DATA): the report is the one of an undisturbed run,
  // byte for byte, and with debug each reset shows as one reconnect.
  const std::set<std::string> apps{"A0000000031010", "A0000000041010", "D27600012401"};
  const auto run_with_resets = [&](bool debug, bool resets) {
    support::fresh_start(debug);
    sim::add_reader("Reader A");
    sim::insert_card("Reader A", support::application_card(apps));
    if (resets) {
      sim::on_call([in_third_read = false](const sim::Call& c) mutable {
        const int n = sim::count(c.fn) + 1;  // this call's number, counted from 1
        const bool third_get_data = c.fn == "SCardTransmit" && support::hex(c.sent) == "80CA9F7F00" &&
                                    sim::count("SCardEndTransaction") == 2 && !in_third_read;
        if (third_get_data) in_third_read = true;
        if ((c.fn == "SCardTransmit" && n % 50 == 20 && n < 320) || (c.fn == "SCardBeginTransaction" && n == 2) ||
            third_get_data)
          support::reset_by_another_program("Reader A");
      });
    }
    return run_program(debug);
  };
  const ProgramRun undisturbed = run_with_resets(false, false);
  ASSERT_TRUE(undisturbed.returned);
  ASSERT_EQ(occurrences(undisturbed.out, "found AID:"), 3);
  for (const bool debug : {false, true}) {
    const ProgramRun run = run_with_resets(debug, true);
    ASSERT_TRUE(run.returned) << debug;
    EXPECT_EQ(run.status, 0);
    if (!debug) {
      EXPECT_EQ(run.out, undisturbed.out);
    }
    EXPECT_EQ(occurrences(run.out, "found AID:"), 3) << debug;
    EXPECT_EQ(occurrences(run.out, "received serial number (id): '1122334455667788'"), 3) << debug;
    EXPECT_EQ(occurrences(run.out, "card reset by another program: reconnected"), debug ? 8 : 0);
    EXPECT_EQ(run.out.find("transmit failed"), std::string::npos);
    EXPECT_EQ(sim::open_cards(), 0);
    EXPECT_EQ(sim::open_transactions(), 0);
  }
}

TEST(Program, ResetsWithoutPauseEndTheScanWithoutPhantomApplications) {
  // Another program resets the card before every third exchange, for ever.
  // Each session reconnects at most its allowance of times; past it the
  // exchanges fail as refusals. The tool still ends, on the applications
  // found before, and reports none that the card lacks.
  const std::set<std::string> apps{"A0000000031010", "D27600012401"};
  support::fresh_start();
  sim::add_reader("Reader A");
  sim::insert_card("Reader A", support::application_card(apps));
  sim::on_call([](const sim::Call& c) {
    if (c.fn == "SCardTransmit" && (sim::count("SCardTransmit") + 1) % 3 == 0)
      support::reset_by_another_program("Reader A");
  });
  const ProgramRun run = run_program(false);
  ASSERT_TRUE(run.returned);
  EXPECT_EQ(run.status, 0);
  for (const std::string& l : support::lines(run.out)) {
    if (l.compare(0, 14, "found AID:   '") == 0) {
      EXPECT_EQ(apps.count(l.substr(14, l.size() - 15)), 1u) << l;
    }
  }
  EXPECT_EQ(occurrences(run.out, "found AID:   'A0000000031010'"), 1);
  // The serial reads' own resets are followed by reconnects of their own.
  EXPECT_LE(sim::count("SCardReconnect"), MAX_RESET_RECONNECTS + 1);
  EXPECT_EQ(sim::open_cards(), 0);
}
