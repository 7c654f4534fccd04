// Reading the card serial number: the selection that comes first, the GET
// DATA exchanges inside a transaction ended with a card reset, and the lines
// written for every kind of answer and failure.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "apdu/serial.h"
#include "apdu/transmit.h"
#include "app/console.h"
#include "tests/support.h"

namespace {

using support::bytes;
using support::hex;

const std::string AID = "A0000000031010";

// What the card answers to each kind of command. GET DATA with Le 00 gets
// first, GET DATA with any other Le gets second.
struct Script {
  sim::Answer select{bytes("610A")};
  sim::Answer get_response{bytes("9000")};
  sim::Answer first;
  sim::Answer second{bytes("6D00")};
  DWORD protocol = SCARD_PROTOCOL_T1;
};

sim::Answer answer(const sim::Bytes& b) { return sim::Answer{b}; }
sim::Answer answer(const std::string& hex_text) { return sim::Answer{bytes(hex_text)}; }
sim::Answer failing(LONG code) {
  sim::Answer a;
  a.result = code;
  return a;
}

// An answer of n bytes whose every byte tells its position.
sim::Bytes numbered(std::size_t n) {
  sim::Bytes out(n);
  for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<std::uint8_t>(0x30 + i);
  return out;
}

std::string serial_of(const sim::Bytes& b) { return hex(sim::Bytes(b.begin() + 13, b.begin() + 21)); }

struct Result {
  std::string output;
  SCARDHANDLE card = 0;
};

// Connects to a card that follows script and reads the serial number of AID;
// arrange runs just before the read, once the card is connected.
Result read_serial(const Script& script, bool debug, const std::function<void()>& arrange = nullptr) {
  support::fresh_start(debug);
  sim::add_reader("R");
  sim::Card card;
  card.atr = bytes("3B8880010000000000000000");
  card.protocol = script.protocol;
  card.respond = [script](const sim::Bytes& command) {
    if (command.size() >= 4 && command[0] == 0x00 && command[1] == 0xA4 && command[2] == 0x04) return script.select;
    if (command.size() == 5 && command[0] == 0x00 && command[1] == 0xC0) return script.get_response;
    if (command.size() == 5 && command[0] == 0x80 && command[1] == 0xCA && command[2] == 0x9F && command[3] == 0x7F)
      return command[4] == 0x00 ? script.first : script.second;
    return answer("6D00");
  };
  sim::insert_card("R", std::move(card));
  SCARDCONTEXT context = 0;
  EXPECT_EQ(SCardEstablishContext(SCARD_SCOPE_USER, nullptr, nullptr, &context), SCARD_S_SUCCESS);
  Result r;
  DWORD protocol = 0;
  EXPECT_EQ(SCardConnect(context, "R", SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &r.card, &protocol),
            SCARD_S_SUCCESS);
  if (arrange) arrange();
  support::Output out;
  read_card_serial(AID, r.card, protocol);
  r.output = out.text();
  return r;
}

std::string joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& l : lines) out += l + "\r\n";
  return out;
}

// The trace of the selection with the default script's answers.
const std::vector<std::string> SELECT_TRACE = {
    "send: '00A4040007A000000003101000' ", "received: '610A' ", "AID 'A0000000031010' selected",
    "send: '00C000000A' (read_response)", "received: '9000' "};

std::vector<std::string> with_select_trace(std::vector<std::string> lines) {
  lines.insert(lines.begin(), SELECT_TRACE.begin(), SELECT_TRACE.end());
  return lines;
}

std::vector<std::string> sent() {
  std::vector<std::string> out;
  for (const sim::Call& c : sim::calls_of("SCardTransmit")) out.push_back(hex(c.sent));
  return out;
}

// The calls made after the connect.
std::vector<std::string> card_calls() {
  const std::vector<std::string> all = sim::sequence();
  std::vector<std::string> out;
  bool connected = false;
  for (const std::string& fn : all) {
    if (connected) out.push_back(fn);
    if (fn == "SCardConnect") connected = true;
  }
  return out;
}

// The transaction is ended exactly once, on this card, with a card reset,
// and the handle is then reconnected once without another reset so that it
// can be used again.
void expect_one_reset_end(SCARDHANDLE card) {
  const auto ends = sim::calls_of("SCardEndTransaction");
  ASSERT_EQ(ends.size(), 1u);
  EXPECT_EQ(ends[0].card, card);
  EXPECT_EQ(ends[0].value, static_cast<DWORD>(SCARD_RESET_CARD));
  EXPECT_EQ(sim::open_transactions(), 0);
  const auto reconnects = sim::calls_of("SCardReconnect");
  ASSERT_EQ(reconnects.size(), 1u);
  EXPECT_EQ(reconnects[0].card, card);
  EXPECT_EQ(reconnects[0].value, static_cast<DWORD>(SCARD_LEAVE_CARD));
  EXPECT_EQ(reconnects[0].result, SCARD_S_SUCCESS);
  const std::vector<std::string> calls = card_calls();
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(calls[calls.size() - 2], "SCardEndTransaction");
  EXPECT_EQ(calls.back(), "SCardReconnect");
}

void expect_full_receive_length() {
  for (const sim::Call& c : sim::calls_of("SCardTransmit")) EXPECT_EQ(c.receive_capacity, RECEIVE_AREA_SIZE);
}

TEST(Serial, WrongLengthAnswerIsFollowedByGetDataWithTheLengthNamed) {
  for (DWORD protocol : {DWORD{SCARD_PROTOCOL_T1}, DWORD{SCARD_PROTOCOL_T0}}) {
    Script s;
    s.protocol = protocol;
    s.first = answer("6C2D");
    s.second = answer(support::cplc_answer("0102030405060708"));
    const std::string cplc = hex(support::cplc_answer("0102030405060708"));

    const Result debug = read_serial(s, true);
    EXPECT_EQ(debug.output, joined(with_select_trace({"send: '80CA9F7F00' (get_serial)", "received: '6C2D' ",
                                                      "send: '80CA9F7F2D' (read_serial)", "received: '" + cplc + "' ",
                                                      "received serial number (id): '0102030405060708' "})));
    EXPECT_EQ(sent(), (std::vector<std::string>{"00A4040007A000000003101000", "00C000000A", "80CA9F7F00", "80CA9F7F2D"}));
    // Selection outside the transaction, both GET DATA exchanges inside it.
    EXPECT_EQ(card_calls(), (std::vector<std::string>{"SCardTransmit", "SCardTransmit", "SCardBeginTransaction",
                                                      "SCardTransmit", "SCardTransmit", "SCardEndTransaction",
                                                      "SCardReconnect"}));
    for (const sim::Call& c : sim::calls_of("SCardTransmit"))
      EXPECT_EQ(c.pci, protocol == SCARD_PROTOCOL_T0 ? &g_rgSCardT0Pci : &g_rgSCardT1Pci);
    expect_full_receive_length();
    expect_one_reset_end(debug.card);

    const Result quiet = read_serial(s, false);
    EXPECT_EQ(quiet.output, "received serial number (id): '0102030405060708' \r\n");
  }
}

TEST(Serial, LengthNamedByTheCardIsUsedAsLe) {
  for (const char* le : {"01", "15", "2D", "80", "FF"}) {
    Script s;
    s.first = answer(std::string("6C") + le);
    s.second = answer(numbered(23));
    const Result r = read_serial(s, false);
    EXPECT_EQ(sent().at(3), std::string("80CA9F7F") + le);
    EXPECT_EQ(sent().size(), 4u);
    EXPECT_EQ(r.output, "received serial number (id): '" + serial_of(numbered(23)) + "' \r\n");
  }
}

TEST(Serial, FullFirstAnswerGoesStraightToTheSerialLine) {
  // A card that returns the data at once (the usual T=1 case) has succeeded:
  // no failed-to-read line comes before the serial.
  Script s;
  s.first = answer(support::cplc_answer("1122334455667788"));
  const std::string cplc = hex(support::cplc_answer("1122334455667788"));

  const Result debug = read_serial(s, true);
  EXPECT_EQ(debug.output, joined(with_select_trace({"send: '80CA9F7F00' (get_serial)", "received: '" + cplc + "' ",
                                                    "received serial number (id): '1122334455667788' "})));
  EXPECT_EQ(sent().size(), 3u);
  expect_one_reset_end(debug.card);

  const Result quiet = read_serial(s, false);
  EXPECT_EQ(quiet.output, "received serial number (id): '1122334455667788' \r\n");
}

// The serial number is data bytes 13 to 20, so it needs at least 21 bytes in
// front of the two status bytes: 23 bytes in all. A first answer of any
// other kind than 6C xx (xx not 00) is reported as a failed read, and a
// shorter one then as too short as well.
TEST(Serial, FirstAnswerOfEachKind) {
  const sim::Bytes n260 = numbered(260);
  struct Case {
    sim::Bytes first;
    std::vector<std::string> lines;  // levels 1 and 3, shown in either mode
  };
  auto too_short = [](const sim::Bytes& b) {
    return "reader response too short: " + std::to_string(b.size()) + " byte(s) '" + hex(b) + "'-> ignoring";
  };
  auto failed = [](const sim::Bytes& b) { return "failed to read serial number: '" + hex(b) + "'"; };
  std::vector<Case> cases;
  for (const char* status : {"6A88", "6C00", "612D", "9000", "6D00"}) {
    const sim::Bytes b = bytes(status);
    cases.push_back({b, {failed(b), too_short(b)}});
  }
  for (const sim::Bytes& b : {bytes("6C"), bytes("6C2D00"), numbered(1), numbered(20), numbered(21), numbered(22)})
    cases.push_back({b, {failed(b), too_short(b)}});
  cases.push_back({{}, {"failed to read serial number: ''"}});
  cases.push_back({numbered(23), {"received serial number (id): '3D3E3F4041424344' "}});
  cases.push_back({numbered(24), {"received serial number (id): '3D3E3F4041424344' "}});
  cases.push_back({n260, {"received serial number (id): '" + serial_of(n260) + "' "}});

  for (const Case& c : cases) {
    Script s;
    s.first = answer(c.first);
    const Result quiet = read_serial(s, false);
    EXPECT_EQ(quiet.output, joined(c.lines)) << hex(c.first);
    // Only one GET DATA: there was nothing to repeat.
    EXPECT_EQ(sent(), (std::vector<std::string>{"00A4040007A000000003101000", "00C000000A", "80CA9F7F00"}))
        << hex(c.first);
    expect_one_reset_end(quiet.card);

    std::vector<std::string> trace = {"send: '80CA9F7F00' (get_serial)", "received: '" + hex(c.first) + "' "};
    trace.insert(trace.end(), c.lines.begin(), c.lines.end());
    const Result debug = read_serial(s, true);
    EXPECT_EQ(debug.output, joined(with_select_trace(trace))) << hex(c.first);
  }
}

TEST(Serial, SecondAnswerOfEachKind) {
  struct Case {
    sim::Bytes second;
    std::vector<std::string> lines;  // levels 1 and 3, shown in either mode
  };
  auto too_short = [](const sim::Bytes& b) {
    return "reader response too short: " + std::to_string(b.size()) + " byte(s) '" + hex(b) + "'-> ignoring";
  };
  std::vector<Case> cases;
  // An empty second answer is passed over in silence.
  cases.push_back({{}, {}});
  for (const sim::Bytes& b : {bytes("90"), bytes("9000"), bytes("6C2D"), bytes("6A88"), numbered(21), numbered(22)})
    cases.push_back({b, {too_short(b)}});
  cases.push_back({numbered(23), {"received serial number (id): '3D3E3F4041424344' "}});
  cases.push_back({numbered(260), {"received serial number (id): '" + serial_of(numbered(260)) + "' "}});

  for (const Case& c : cases) {
    Script s;
    s.first = answer("6C2D");
    s.second = answer(c.second);
    const Result quiet = read_serial(s, false);
    EXPECT_EQ(quiet.output, joined(c.lines)) << hex(c.second);
    // No third command, whatever the second answer was.
    EXPECT_EQ(sent(), (std::vector<std::string>{"00A4040007A000000003101000", "00C000000A", "80CA9F7F00", "80CA9F7F2D"}))
        << hex(c.second);
    expect_full_receive_length();
    expect_one_reset_end(quiet.card);

    std::vector<std::string> trace = {"send: '80CA9F7F00' (get_serial)", "received: '6C2D' ",
                                      "send: '80CA9F7F2D' (read_serial)", "received: '" + hex(c.second) + "' "};
    trace.insert(trace.end(), c.lines.begin(), c.lines.end());
    const Result debug = read_serial(s, true);
    EXPECT_EQ(debug.output, joined(with_select_trace(trace))) << hex(c.second);
  }
}

TEST(Serial, FailedGetSerialExchange) {
  struct Case {
    LONG code;
    std::string failed;
    std::string reason;
  };
  const std::vector<Case> cases = {
      {static_cast<LONG>(SCARD_W_REMOVED_CARD), "failed to read serial number: 80100069", "card removed"},
      {static_cast<LONG>(SCARD_E_COMM_DATA_LOST), "failed to read serial number: 8010002f", "reader error 8010002f"},
  };
  for (const Case& c : cases) {
    Script s;
    s.first = failing(c.code);
    s.second = answer(numbered(23));
    const Result debug = read_serial(s, true);
    EXPECT_EQ(debug.output, joined(with_select_trace({"send: '80CA9F7F00' (get_serial)", c.failed, c.reason})));
    EXPECT_EQ(sent().size(), 3u);
    expect_one_reset_end(debug.card);

    const Result quiet = read_serial(s, false);
    EXPECT_EQ(quiet.output, c.failed + "\r\n");
  }
}

TEST(Serial, ResetByAnotherProgramDuringTheRead) {
  // Another program resets the card just before one of the read's calls:
  // the handle is reconnected (the card left as it is) and the same call
  // made again, so the serial number is read all the same.
  const std::string serial_line = "received serial number (id): '3D3E3F4041424344' ";
  for (const std::string& before : {std::string("SCardBeginTransaction"), std::string("80CA9F7F00"),
                                    std::string("00A4040007A000000003101000")}) {
    for (const bool debug : {false, true}) {
      Script s;
      s.first = answer(numbered(23));
      const Result r = read_serial(s, debug, [before] {
        sim::on_call([before, done = false](const sim::Call& c) mutable {
          if (done) return;
          if (c.fn == before || (c.fn == "SCardTransmit" && hex(c.sent) == before)) {
            done = true;
            support::reset_by_another_program("R");
          }
        });
      });
      EXPECT_EQ(support::lines(r.output).back(), serial_line) << before << debug;
      EXPECT_EQ(r.output.find("failed"), std::string::npos) << before;
      EXPECT_EQ(r.output.find("card reset by another program: reconnected") != std::string::npos, debug) << before;
      // One reconnect for the reset, one after the read's own reset at its end.
      const auto reconnects = sim::calls_of("SCardReconnect");
      ASSERT_EQ(reconnects.size(), 2u) << before;
      for (const sim::Call& c : reconnects) EXPECT_EQ(c.value, static_cast<DWORD>(SCARD_LEAVE_CARD));
      EXPECT_EQ(sim::count("SCardBeginTransaction"), before == "SCardBeginTransaction" ? 2 : 1);
      EXPECT_EQ(sim::count("SCardEndTransaction"), 1);
      EXPECT_EQ(sim::open_transactions(), 0);
    }
  }
  // A card that answers every GET DATA with a reset: once the session's
  // reconnects are spent, the read fails as for any other code, and its
  // transaction is still ended once with a reset.
  Script s;
  s.first = failing(SCARD_W_RESET_CARD);
  const Result r = read_serial(s, false);
  EXPECT_EQ(r.output, "failed to read serial number: 80100068\r\n");
  EXPECT_EQ(sim::count("SCardReconnect"), MAX_RESET_RECONNECTS + 1);
  expect_full_receive_length();
  EXPECT_EQ(sim::count("SCardEndTransaction"), 1);
}

TEST(Serial, FailedReadSerialExchange) {
  struct Case {
    LONG code;
    std::string reason;
  };
  const std::vector<Case> cases = {
      {static_cast<LONG>(SCARD_W_REMOVED_CARD), "card removed"},
      {static_cast<LONG>(SCARD_F_COMM_ERROR), "reader error 80100013"},
  };
  for (const Case& c : cases) {
    Script s;
    s.first = answer("6C2D");
    s.second = failing(c.code);
    const Result debug = read_serial(s, true);
    EXPECT_EQ(debug.output, joined(with_select_trace({"send: '80CA9F7F00' (get_serial)", "received: '6C2D' ",
                                                      "send: '80CA9F7F2D' (read_serial)", c.reason})));
    expect_one_reset_end(debug.card);

    const Result quiet = read_serial(s, false);
    EXPECT_EQ(quiet.output, "");
  }
}

TEST(Serial, BeginTransactionFailing) {
  // Whether the platform refuses the transaction or the card has left the
  // reader before it: nothing is sent, and the transaction is still ended
  // once with a reset.
  struct Case {
    std::function<void()> arrange;
    std::string failed;
    std::string reason;
  };
  const std::vector<Case> cases = {
      {[] { sim::fail("SCardBeginTransaction", 1, SCARD_E_SHARING_VIOLATION); },
       "failed to read serial number: 8010000b", "reader error 8010000b"},
      {[] { sim::fail("SCardBeginTransaction", 1, SCARD_W_REMOVED_CARD); }, "failed to read serial number: 80100069",
       "card removed"},
      {[] {
         sim::on_call([](const sim::Call& call) {
           if (call.fn == "SCardBeginTransaction") sim::remove_card("R");
         });
       },
       "failed to read serial number: 80100069", "card removed"},
  };
  for (const Case& c : cases) {
    Script s;
    s.first = answer(numbered(23));
    const Result debug = read_serial(s, true, c.arrange);
    EXPECT_EQ(debug.output, joined(with_select_trace({c.failed, c.reason})));
    EXPECT_EQ(sent(), (std::vector<std::string>{"00A4040007A000000003101000", "00C000000A"}));
    EXPECT_EQ(card_calls(), (std::vector<std::string>{"SCardTransmit", "SCardTransmit", "SCardBeginTransaction",
                                                      "SCardEndTransaction"}));
    const auto ends = sim::calls_of("SCardEndTransaction");
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(ends[0].card, debug.card);
    EXPECT_EQ(ends[0].value, static_cast<DWORD>(SCARD_RESET_CARD));

    const Result quiet = read_serial(s, false, c.arrange);
    EXPECT_EQ(quiet.output, c.failed + "\r\n");
  }
}

TEST(Serial, SelectionFailureDoesNotStopTheRead) {
  const sim::Bytes data = numbered(23);
  struct Case {
    sim::Answer select;
    std::vector<std::string> trace;
  };
  const std::vector<Case> cases = {
      {answer("6A82"), {"send: '00A4040007A000000003101000' ", "received: '6A82' ",
                        "failed to select AID: 'A0000000031010' : 6A82"}},
      {failing(SCARD_E_COMM_DATA_LOST),
       {"send: '00A4040007A000000003101000' ", "failed to select AID (transmit failed): '8010002f'"}},
  };
  for (const Case& c : cases) {
    Script s;
    s.select = c.select;
    s.first = answer(data);
    const Result r = read_serial(s, true);
    std::vector<std::string> expected = c.trace;
    expected.insert(expected.end(), {"send: '80CA9F7F00' (get_serial)", "received: '" + hex(data) + "' ",
                                     "received serial number (id): '3D3E3F4041424344' "});
    EXPECT_EQ(r.output, joined(expected));
    expect_one_reset_end(r.card);
  }
}

TEST(Serial, EachCallSelectsItsOwnAidAndEndsItsOwnTransaction) {
  // A card that answers GET DATA only while an application is selected, with
  // a serial that depends on the application; ending a transaction with a
  // reset deselects it.
  support::fresh_start(false);
  sim::add_reader("R");
  auto selected = std::make_shared<std::string>();
  auto resets = std::make_shared<int>(0);
  sim::Card card;
  card.protocol = SCARD_PROTOCOL_T1;
  card.respond = [selected](const sim::Bytes& command) {
    if (command.size() >= 5 && command[0] == 0x00 && command[1] == 0xA4) {
      *selected = hex(sim::Bytes(command.begin() + 5, command.end() - 1));
      return answer("6104");
    }
    if (command[0] == 0x00 && command[1] == 0xC0) return answer("9000");
    if (command[0] == 0x80 && command[1] == 0xCA) {
      if (selected->empty()) return answer("6985");
      return answer(support::cplc_answer(*selected == "A000000003" ? "0303030303030303" : "0404040404040404"));
    }
    return answer("6D00");
  };
  card.on_reset = [selected, resets] {
    selected->clear();
    ++*resets;
  };
  sim::insert_card("R", std::move(card));
  SCARDCONTEXT context = 0;
  ASSERT_EQ(SCardEstablishContext(SCARD_SCOPE_USER, nullptr, nullptr, &context), SCARD_S_SUCCESS);
  SCARDHANDLE handle = 0;
  DWORD protocol = 0;
  ASSERT_EQ(SCardConnect(context, "R", SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &handle, &protocol),
            SCARD_S_SUCCESS);

  support::Output out;
  read_card_serial("A000000003", handle, protocol);
  read_card_serial("A000000004", handle, protocol);
  EXPECT_EQ(out.text(), joined({"received serial number (id): '0303030303030303' ",
                                "received serial number (id): '0404040404040404' "}));
  EXPECT_EQ(sent(), (std::vector<std::string>{"00A4040005A00000000300", "00C0000004", "80CA9F7F00",
                                              "00A4040005A00000000400", "00C0000004", "80CA9F7F00"}));
  EXPECT_EQ(card_calls(),
            (std::vector<std::string>{"SCardTransmit", "SCardTransmit", "SCardBeginTransaction", "SCardTransmit",
                                      "SCardEndTransaction", "SCardReconnect", "SCardTransmit", "SCardTransmit",
                                      "SCardBeginTransaction", "SCardTransmit", "SCardEndTransaction",
                                      "SCardReconnect"}));
  for (const sim::Call& c : sim::calls_of("SCardEndTransaction")) {
    EXPECT_EQ(c.value, static_cast<DWORD>(SCARD_RESET_CARD));
    EXPECT_EQ(c.result, SCARD_S_SUCCESS);
  }
  // The reconnect leaves the card as the reset left it: one reset per read.
  for (const sim::Call& c : sim::calls_of("SCardReconnect")) {
    EXPECT_EQ(c.value, static_cast<DWORD>(SCARD_LEAVE_CARD));
    EXPECT_EQ(c.result, SCARD_S_SUCCESS);
  }
  for (const sim::Call& c : sim::calls_of("SCardTransmit")) EXPECT_EQ(c.result, SCARD_S_SUCCESS);
  EXPECT_EQ(*resets, 2);
  EXPECT_EQ(sim::open_transactions(), 0);
}

}  // namespace
