// The exchange of one command with the card (protocol control block, receive
// area, trace) and the selection of applications by AID on top of it, run on
// the simulated PC/SC.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "apdu/select.h"
#include "apdu/transmit.h"
#include "app/console.h"
#include "tests/support.h"

namespace {

using support::bytes;

struct Connected {
  SCARDHANDLE card = 0;
  DWORD protocol = 0;
};

// A fresh world with one reader holding card, and a connection to it.
Connected connect(sim::Card card, bool debug) {
  support::fresh_start(debug);
  sim::add_reader("R");
  sim::insert_card("R", std::move(card));
  SCARDCONTEXT context = 0;
  EXPECT_EQ(SCardEstablishContext(SCARD_SCOPE_USER, nullptr, nullptr, &context), SCARD_S_SUCCESS);
  Connected c;
  EXPECT_EQ(SCardConnect(context, "R", SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &c.card, &c.protocol),
            SCARD_S_SUCCESS);
  return c;
}

sim::Card card_with(std::function<sim::Answer(const sim::Bytes&)> respond, DWORD protocol = SCARD_PROTOCOL_T1) {
  sim::Card card;
  card.atr = bytes("3B8880010000000000000000");
  card.protocol = protocol;
  card.respond = std::move(respond);
  return card;
}

sim::Card card_answering(const std::string& answer_hex, DWORD protocol = SCARD_PROTOCOL_T1) {
  const sim::Bytes answer = bytes(answer_hex);
  return card_with([answer](const sim::Bytes&) { return sim::Answer{answer}; }, protocol);
}

sim::Answer failing(LONG code) {
  sim::Answer a;
  a.result = code;
  return a;
}

// A card whose answer to SELECT depends on the AID selected (6A 82 for any
// other), and which answers GET RESPONSE with get_response.
sim::Card selecting_card(std::map<std::string, sim::Answer> select_answers,
                         sim::Answer get_response = sim::Answer{bytes("9000")}) {
  return card_with([select_answers, get_response](const sim::Bytes& command) {
    if (command.size() >= 5 && command[0] == 0x00 && command[1] == 0xA4 && command[2] == 0x04 && command[3] == 0x00) {
      const std::size_t lc = command[4];
      const std::string aid = support::hex(sim::Bytes(command.begin() + 5, command.begin() + 5 + static_cast<long>(lc)));
      const auto it = select_answers.find(aid);
      return it != select_answers.end() ? it->second : sim::Answer{bytes("6A82")};
    }
    if (command.size() == 5 && command[0] == 0x00 && command[1] == 0xC0) return get_response;
    return sim::Answer{bytes("6D00")};
  });
}

// The commands sent so far, as hex texts.
std::vector<std::string> sent() {
  std::vector<std::string> out;
  for (const sim::Call& c : sim::calls_of("SCardTransmit")) out.push_back(support::hex(c.sent));
  return out;
}

std::vector<DWORD> capacities() {
  std::vector<DWORD> out;
  for (const sim::Call& c : sim::calls_of("SCardTransmit")) out.push_back(c.receive_capacity);
  return out;
}

std::string joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& l : lines) out += l + "\r\n";
  return out;
}

std::string select_command(const std::string& aid) {
  // Lc is one byte (an AID has at most 16): as unsigned char the compiler
  // knows it fits two hex digits, whatever the width of size_t.
  char lc[3];
  std::snprintf(lc, sizeof lc, "%02X", static_cast<unsigned char>(aid.size() / 2));
  return "00A40400" + std::string(lc) + aid + "00";
}

// ---------------------------------------------------------------------------
// transmit_apdu

TEST(Transmit, SendPciFollowsTheActiveProtocol) {
  struct Case {
    DWORD card_protocol;
    DWORD protocol;
    const SCARD_IO_REQUEST* pci;
  };
  const std::vector<Case> cases = {
      {SCARD_PROTOCOL_T0, SCARD_PROTOCOL_T0, &g_rgSCardT0Pci},
      {SCARD_PROTOCOL_T1, SCARD_PROTOCOL_T1, &g_rgSCardT1Pci},
      {SCARD_PROTOCOL_T1, 0, &g_rgSCardT1Pci},
      {SCARD_PROTOCOL_T1, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &g_rgSCardT1Pci},
      {SCARD_PROTOCOL_T1, SCARD_PROTOCOL_RAW, &g_rgSCardT1Pci},
      {SCARD_PROTOCOL_T1, 0xFFFFFFFFu, &g_rgSCardT1Pci},
  };
  const ByteBuffer command = from_hex("0084000008");
  for (const Case& c : cases) {
    const Connected card = connect(card_answering("0102030405060708" "9000", c.card_protocol), false);
    std::uint8_t receive[RECEIVE_AREA_SIZE];
    DWORD length = RECEIVE_AREA_SIZE;
    EXPECT_EQ(transmit_apdu(command, receive, length, card.card, c.protocol), SCARD_S_SUCCESS) << c.protocol;
    EXPECT_EQ(length, 10u);
    const auto calls = sim::calls_of("SCardTransmit");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].pci, c.pci) << "protocol " << c.protocol;
    EXPECT_FALSE(calls[0].receive_pci);
    EXPECT_EQ(calls[0].card, card.card);
    EXPECT_EQ(calls[0].sent, command);
    EXPECT_EQ(calls[0].receive_capacity, RECEIVE_AREA_SIZE);
  }
}

TEST(Transmit, ClearsTheReceiveAreaUpToTheCapacityGiven) {
  // The area is larger than the capacity given, so that writes past the
  // capacity show as well.
  for (DWORD capacity : {RECEIVE_AREA_SIZE, DWORD{10}, DWORD{2}}) {
    const Connected card = connect(card_answering("6A82"), true);
    std::uint8_t receive[300];
    std::memset(receive, 0xEE, sizeof receive);
    DWORD length = capacity;
    support::Output out;
    EXPECT_EQ(transmit_apdu(from_hex("00A4040000"), receive, length, card.card, card.protocol), SCARD_S_SUCCESS);
    EXPECT_EQ(out.text(), "received: '6A82' \r\n");
    EXPECT_EQ(length, 2u);
    EXPECT_EQ(sim::calls_of("SCardTransmit").at(0).receive_capacity, capacity);
    EXPECT_EQ(receive[0], 0x6A);
    EXPECT_EQ(receive[1], 0x82);
    for (DWORD i = 2; i < capacity; ++i) ASSERT_EQ(receive[i], 0) << "capacity " << capacity << " byte " << i;
    for (DWORD i = capacity; i < sizeof receive; ++i)
      ASSERT_EQ(receive[i], 0xEE) << "capacity " << capacity << " byte " << i;
  }
}

TEST(Transmit, EmptyAndFullAnswersAreTracedWhole) {
  {
    const Connected card = connect(card_answering(""), true);
    std::uint8_t receive[RECEIVE_AREA_SIZE];
    std::memset(receive, 0xEE, sizeof receive);
    DWORD length = RECEIVE_AREA_SIZE;
    support::Output out;
    EXPECT_EQ(transmit_apdu(from_hex("80CA9F7F00"), receive, length, card.card, card.protocol), SCARD_S_SUCCESS);
    EXPECT_EQ(out.text(), "received: '' \r\n");
    EXPECT_EQ(length, 0u);
    for (std::uint8_t b : receive) ASSERT_EQ(b, 0);
  }
  {
    std::string answer;
    for (int i = 0; i < 260; ++i) {
      char pair[3];
      std::snprintf(pair, sizeof pair, "%02X", (i * 7 + 3) & 0xFF);
      answer += pair;
    }
    const Connected card = connect(card_answering(answer), true);
    std::uint8_t receive[RECEIVE_AREA_SIZE];
    DWORD length = RECEIVE_AREA_SIZE;
    support::Output out;
    EXPECT_EQ(transmit_apdu(from_hex("00B0000000"), receive, length, card.card, card.protocol), SCARD_S_SUCCESS);
    EXPECT_EQ(out.text(), "received: '" + answer + "' \r\n");
    EXPECT_EQ(length, 260u);
    EXPECT_EQ(support::hex(sim::Bytes(receive, receive + 260)), answer);
  }
}

TEST(Transmit, FailedExchangeReturnsTheCodeUnchangedAndWritesNothing) {
  // One exchange on the connected card must fail with code and write nothing.
  const auto expect_failure = [](const Connected& card, LONG code) {
    std::uint8_t receive[RECEIVE_AREA_SIZE];
    DWORD length = RECEIVE_AREA_SIZE;
    support::Output out;
    EXPECT_EQ(transmit_apdu(from_hex("00A4040000"), receive, length, card.card, card.protocol), code);
    EXPECT_EQ(out.text(), "");
  };
  // The card's exchange fails with each of these codes (a reset by another
  // program is answered by a reconnect: ResetByAnotherProgram below).
  for (LONG code : {static_cast<LONG>(SCARD_W_REMOVED_CARD), static_cast<LONG>(SCARD_E_COMM_DATA_LOST),
                    static_cast<LONG>(SCARD_F_COMM_ERROR), static_cast<LONG>(SCARD_E_NOT_TRANSACTED),
                    static_cast<LONG>(0x7FFFFFFF)}) {
    expect_failure(connect(card_with([code](const sim::Bytes&) { return failing(code); }), true), code);
  }
  // The platform call fails before reaching the card.
  {
    const Connected card = connect(card_answering("9000"), true);
    sim::fail("SCardTransmit", 1, SCARD_E_TIMEOUT);
    expect_failure(card, SCARD_E_TIMEOUT);
  }
  // The card was taken out after the connect.
  {
    const Connected card = connect(card_answering("9000"), true);
    sim::remove_card("R");
    expect_failure(card, SCARD_W_REMOVED_CARD);
  }
}

namespace {

// The calls made on this handle, by name.
std::vector<std::string> calls_on(SCARDHANDLE card) {
  std::vector<std::string> out;
  for (const sim::Call& c : sim::calls())
    if (c.card == card && c.fn != "SCardConnect") out.push_back(c.fn);
  return out;
}

}  // namespace

TEST(Transmit, ResetByAnotherProgramIsAnsweredByAReconnectAndTheSameCommand) {
  for (const bool debug : {false, true}) {
    const Connected card = connect(card_answering("6F00" "9000"), debug);
    support::reset_by_another_program("R");
    std::uint8_t receive[RECEIVE_AREA_SIZE];
    DWORD length = RECEIVE_AREA_SIZE;
    support::Output out;
    EXPECT_EQ(transmit_apdu(from_hex("00A404000E315041592E5359532E444446303100"), receive, length, card.card,
                            card.protocol),
              SCARD_S_SUCCESS);
    EXPECT_EQ(support::hex(sim::Bytes(receive, receive + length)), "6F009000");
    EXPECT_EQ(calls_on(card.card), (std::vector<std::string>{"SCardTransmit", "SCardReconnect", "SCardTransmit"}));
    const std::vector<sim::Call> transmits = sim::calls_of("SCardTransmit");
    ASSERT_EQ(transmits.size(), 2u);
    EXPECT_EQ(transmits[0].result, static_cast<LONG>(SCARD_W_RESET_CARD));
    EXPECT_EQ(transmits[1].sent, transmits[0].sent);
    EXPECT_EQ(transmits[1].receive_capacity, RECEIVE_AREA_SIZE);
    // Shared, either protocol, and the card left as the other program left it.
    const sim::Call reconnect = sim::calls_of("SCardReconnect").at(0);
    EXPECT_EQ(reconnect.value, static_cast<DWORD>(SCARD_LEAVE_CARD));
    EXPECT_EQ(reconnect.protocols, static_cast<DWORD>(SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1));
    EXPECT_EQ(out.text(), debug ? "card reset by another program: reconnected\r\nreceived: '6F009000' \r\n" : "")
        << debug;
  }
}

TEST(Transmit, ResetHalfDoneShowsAsAProtocolMismatchAndIsAnsweredTheSameWay) {
  // pcsc-lite flags another program's reset to the other handles first and
  // unsets the card's protocol only once the card has answered the reset:
  // a command in between fails with SCARD_E_PROTO_MISMATCH. The reconnect
  // negotiates the protocol again and the command goes through.
  const Connected card = connect(card_answering("9000"), true);
  sim::fail("SCardTransmit", 1, SCARD_E_PROTO_MISMATCH);
  std::uint8_t receive[RECEIVE_AREA_SIZE];
  DWORD length = RECEIVE_AREA_SIZE;
  support::Output out;
  EXPECT_EQ(transmit_apdu(from_hex("80CA9F7F00"), receive, length, card.card, card.protocol), SCARD_S_SUCCESS);
  EXPECT_EQ(calls_on(card.card), (std::vector<std::string>{"SCardTransmit", "SCardReconnect", "SCardTransmit"}));
  EXPECT_EQ(out.text(), "card reset by another program: reconnected\r\nreceived: '9000' \r\n");
}

TEST(Transmit, ResetsWithoutPauseAreReconnectedAtMostTheSessionsAllowance) {
  // Another program resets the card before every exchange: the session
  // reconnects MAX_RESET_RECONNECTS times in all, then a reset fails the
  // exchange as any error does, at once.
  const Connected card = connect(card_answering("9000"), false);
  sim::on_call([](const sim::Call& c) {
    if (c.fn == "SCardTransmit") support::reset_by_another_program("R");
  });
  std::uint8_t receive[RECEIVE_AREA_SIZE];
  int succeeded = 0;
  LONG last = SCARD_S_SUCCESS;
  for (int i = 0; i < 40; ++i) {
    DWORD length = RECEIVE_AREA_SIZE;
    last = transmit_apdu(from_hex("0000000000"), receive, length, card.card, card.protocol);
    if (last == SCARD_S_SUCCESS) ++succeeded;
  }
  EXPECT_EQ(sim::count("SCardReconnect"), MAX_RESET_RECONNECTS);
  EXPECT_EQ(last, static_cast<LONG>(SCARD_W_RESET_CARD));
  EXPECT_EQ(succeeded, 0);  // each retry met a new reset
  // A new card session has the whole allowance again.
  sim::on_call(nullptr);
  allow_reset_reconnects();
  DWORD length = RECEIVE_AREA_SIZE;
  EXPECT_EQ(transmit_apdu(from_hex("0000000000"), receive, length, card.card, card.protocol), SCARD_S_SUCCESS);
  EXPECT_EQ(sim::count("SCardReconnect"), MAX_RESET_RECONNECTS + 1);
}

TEST(Transmit, ResetWhoseReconnectFailsReturnsTheResetAndEveryOtherCodeIsNotRetried) {
  {
    const Connected card = connect(card_answering("9000"), true);
    support::reset_by_another_program("R");
    sim::fail("SCardReconnect", 1, SCARD_E_NO_SMARTCARD);
    std::uint8_t receive[RECEIVE_AREA_SIZE];
    DWORD length = RECEIVE_AREA_SIZE;
    support::Output out;
    EXPECT_EQ(transmit_apdu(from_hex("0000000000"), receive, length, card.card, card.protocol),
              static_cast<LONG>(SCARD_W_RESET_CARD));
    EXPECT_EQ(out.text(), "card reset by another program: reconnect failed: 8010000c\r\n");
    EXPECT_EQ(sim::count("SCardTransmit"), 1);
  }
  for (LONG code : {static_cast<LONG>(SCARD_W_REMOVED_CARD), static_cast<LONG>(SCARD_E_NO_SERVICE),
                    static_cast<LONG>(SCARD_W_UNPOWERED_CARD), static_cast<LONG>(SCARD_E_INVALID_HANDLE)}) {
    const Connected card = connect(card_answering("9000"), false);
    sim::fail("SCardTransmit", 1, code);
    std::uint8_t receive[RECEIVE_AREA_SIZE];
    DWORD length = RECEIVE_AREA_SIZE;
    EXPECT_EQ(transmit_apdu(from_hex("0000000000"), receive, length, card.card, card.protocol), code);
    EXPECT_EQ(sim::count("SCardReconnect"), 0) << std::hex << code;
  }
}

TEST(Transmit, WritesNothingWithoutDebug) {
  const Connected card = connect(card_answering("6F00" "9000"), false);
  std::uint8_t receive[RECEIVE_AREA_SIZE];
  DWORD length = RECEIVE_AREA_SIZE;
  support::Output out;
  EXPECT_EQ(transmit_apdu(from_hex("00A4040000"), receive, length, card.card, card.protocol), SCARD_S_SUCCESS);
  EXPECT_EQ(length, 4u);
  EXPECT_EQ(out.text(), "");
}

// ---------------------------------------------------------------------------
// select_aid and read_response

TEST(Select, SelectByNameCommandForAidsOfFiveSevenAndSixteenBytes) {
  struct Case {
    std::string aid;
    std::string command;
  };
  const std::vector<Case> cases = {
      {"A000000003", "00A4040005A00000000300"},
      {"A0000000031010", "00A4040007A000000003101000"},
      {"a0000000031010", "00A4040007A000000003101000"},
      {"D276000124010200000000000000ABCD", "00A4040010D276000124010200000000000000ABCD00"},
  };
  for (const Case& c : cases) {
    const Connected card = connect(card_answering("9000"), true);
    std::uint8_t receive[RECEIVE_AREA_SIZE];
    DWORD length = RECEIVE_AREA_SIZE;
    support::Output out;
    EXPECT_EQ(select_aid(length, card.card, card.protocol, c.aid, receive), SCARD_S_SUCCESS);
    EXPECT_EQ(out.text(), joined({"send: '" + c.command + "' ", "received: '9000' "}));
    EXPECT_EQ(sent(), std::vector<std::string>{c.command});
    EXPECT_EQ(length, 2u);
  }
}

TEST(Select, SelectReturnsTheExchangeResult) {
  const Connected card = connect(card_with([](const sim::Bytes&) { return failing(SCARD_E_COMM_DATA_LOST); }), true);
  std::uint8_t receive[RECEIVE_AREA_SIZE];
  DWORD length = RECEIVE_AREA_SIZE;
  support::Output out;
  EXPECT_EQ(select_aid(length, card.card, card.protocol, "A000000003", receive), SCARD_E_COMM_DATA_LOST);
  EXPECT_EQ(out.text(), "send: '00A4040005A00000000300' \r\n");
}

TEST(Select, ReadResponseSendsGetResponseWithAFullReceiveLength) {
  const Connected card = connect(card_answering("6F028401" "9000"), true);
  std::uint8_t receive[RECEIVE_AREA_SIZE];
  DWORD length = 2;  // what an earlier answer left
  support::Output out;
  read_response(0x42, receive, length, card.card, card.protocol);
  EXPECT_EQ(out.text(), joined({"send: '00C0000042' (read_response)", "received: '6F0284019000' "}));
  EXPECT_EQ(sent(), std::vector<std::string>{"00C0000042"});
  EXPECT_EQ(capacities(), std::vector<DWORD>{RECEIVE_AREA_SIZE});
  EXPECT_EQ(length, 6u);
}

// Every answer to SELECT accepts the AID except a bare two-byte status word
// other than 61 xx. An accepted AID is followed by GET RESPONSE whose Le is
// the answer's second byte (00 when the answer is shorter than 2 bytes).
TEST(Select, AcceptanceOfEachKindOfAnswer) {
  std::string long_answer;
  for (int i = 0; i < 258; ++i) long_answer += "5A";
  long_answer = "6F" + long_answer.substr(2) + "9000";
  ASSERT_EQ(long_answer.size(), 520u);

  struct Case {
    std::string answer;
    bool accepted;
    std::string le;  // of the GET RESPONSE, when accepted
  };
  const std::vector<Case> cases = {
      {"612C", true, "2C"},
      {"6100", true, "00"},
      {"61FF", true, "FF"},
      {"9000", false, ""},
      {"6A82", false, ""},
      {"6C10", false, ""},
      {"6283", false, ""},
      {"6999", false, ""},
      {"", false, ""},
      {"90", false, ""},
      {"61", false, ""},
      {"6A8290", true, "82"},
      {"6F1A840E315041592E5359532E4444463031A5088801025F2D02656E9000", true, "1A"},
      {long_answer, true, "5A"},
  };
  const std::string aid = "A0000000031010";
  for (const Case& c : cases) {
    for (bool debug : {true, false}) {
      const Connected card = connect(selecting_card({{aid, sim::Answer{bytes(c.answer)}}}, sim::Answer{bytes("6A86")}), debug);
      support::Output out;
      select_aid_from_list({aid}, card.card, card.protocol);
      const std::string text = out.text();
      if (!debug) {
        EXPECT_EQ(text, "") << c.answer;
      } else if (c.accepted) {
        EXPECT_EQ(text, joined({"send: '00A4040007A000000003101000' ", "received: '" + c.answer + "' ",
                                "AID 'A0000000031010' selected", "send: '00C00000" + c.le + "' (read_response)",
                                "received: '6A86' "}))
            << c.answer;
      } else {
        EXPECT_EQ(text, joined({"send: '00A4040007A000000003101000' ", "received: '" + c.answer + "' ",
                                "failed to select AID: 'A0000000031010' : " + c.answer}))
            << c.answer;
      }
      std::vector<std::string> expected_sent{"00A4040007A000000003101000"};
      if (c.accepted) expected_sent.push_back("00C00000" + c.le);
      EXPECT_EQ(sent(), expected_sent) << c.answer;
      EXPECT_EQ(capacities(), std::vector<DWORD>(expected_sent.size(), RECEIVE_AREA_SIZE)) << c.answer;
    }

    // The same answer through try_select, which tells whether it was accepted.
    const Connected card = connect(selecting_card({{aid, sim::Answer{bytes(c.answer)}}}), false);
    std::uint8_t receive[RECEIVE_AREA_SIZE];
    DWORD length = 7;  // try_select sets the full length itself
    EXPECT_EQ(try_select(aid, receive, length, card.card, card.protocol), c.accepted) << c.answer;
    EXPECT_EQ(sim::calls_of("SCardTransmit").at(0).receive_capacity, RECEIVE_AREA_SIZE);

    // And the rule on its own.
    sim::Bytes area = bytes(c.answer);
    area.resize(RECEIVE_AREA_SIZE, 0);
    EXPECT_EQ(select_accepted(area.data(), static_cast<DWORD>(bytes(c.answer).size())), c.accepted) << c.answer;
  }
}

TEST(Select, AnswerWithoutItsStatusWordIsARefusal) {
  // What a card or service lost in the middle of the exchange leaves: no
  // answer or a cut one. The first AID's answer leaves 2D at index 1, so the
  // refusal line must show only the bytes that did come, and the walk goes
  // on to the next AID without a GET RESPONSE.
  for (const std::string& short_answer : {std::string(""), std::string("90"), std::string("61")}) {
    const Connected card = connect(selecting_card({{"A000000003", sim::Answer{bytes("6C2D")}},
                                                   {"A000000004", sim::Answer{bytes(short_answer)}},
                                                   {"A000000005", sim::Answer{bytes("6101")}}}),
                                   true);
    support::Output out;
    select_aid_from_list({"A000000003", "A000000004", "A000000005"}, card.card, card.protocol);
    EXPECT_EQ(out.text(), joined({"send: '00A4040005A00000000300' ", "received: '6C2D' ",
                                  "failed to select AID: 'A000000003' : 6C2D", "send: '00A4040005A00000000400' ",
                                  "received: '" + short_answer + "' ",
                                  "failed to select AID: 'A000000004' : " + short_answer,
                                  "send: '00A4040005A00000000500' ", "received: '6101' ", "AID 'A000000005' selected",
                                  "send: '00C0000001' (read_response)", "received: '9000' "}));
    EXPECT_EQ(sent(), (std::vector<std::string>{"00A4040005A00000000300", "00A4040005A00000000400",
                                                "00A4040005A00000000500", "00C0000001"}));
  }
}

TEST(Select, GetResponseAnswerIsNotExamined) {
  // Another 61 xx, a 6C xx or a failed exchange after GET RESPONSE: nothing
  // more is sent, the AID still counts as accepted, and the list stops.
  const std::vector<sim::Answer> get_responses = {sim::Answer{bytes("6110")}, sim::Answer{bytes("6C10")},
                                                  failing(SCARD_W_REMOVED_CARD)};
  for (const sim::Answer& gr : get_responses) {
    const Connected card = connect(selecting_card({{"A000000003", sim::Answer{bytes("6120")}},
                                                   {"A000000004", sim::Answer{bytes("6120")}}},
                                                  gr),
                                   true);
    support::Output out;
    select_aid_from_list({"A000000003", "A000000004"}, card.card, card.protocol);
    std::vector<std::string> expected = {"send: '00A4040005A00000000300' ", "received: '6120' ",
                                         "AID 'A000000003' selected", "send: '00C0000020' (read_response)"};
    if (gr.result == SCARD_S_SUCCESS) expected.push_back("received: '" + support::hex(gr.bytes) + "' ");
    EXPECT_EQ(out.text(), joined(expected));
    EXPECT_EQ(sent(), (std::vector<std::string>{"00A4040005A00000000300", "00C0000020"}));

    const Connected again = connect(selecting_card({{"A000000003", sim::Answer{bytes("6120")}}}, gr), false);
    std::uint8_t receive[RECEIVE_AREA_SIZE];
    DWORD length = RECEIVE_AREA_SIZE;
    EXPECT_TRUE(try_select("A000000003", receive, length, again.card, again.protocol));
  }
}

// ---------------------------------------------------------------------------
// select_aid_from_list

TEST(SelectList, StopsAtTheFirstAcceptedAid) {
  const Connected card = connect(selecting_card({{"A000000003", sim::Answer{bytes("6A82")}},
                                                 {"A0000000041010", sim::Answer{bytes("610F")}},
                                                 {"A000000025", sim::Answer{bytes("610F")}}},
                                                sim::Answer{bytes("6F0D8407A0000000041010A5029000")}),
                                 true);
  support::Output out;
  select_aid_from_list({"A000000003", "A0000000041010", "A000000025"}, card.card, card.protocol);
  EXPECT_EQ(out.text(), joined({"send: '00A4040005A00000000300' ", "received: '6A82' ",
                                "failed to select AID: 'A000000003' : 6A82", "send: '00A4040007A000000004101000' ",
                                "received: '610F' ", "AID 'A0000000041010' selected",
                                "send: '00C000000F' (read_response)",
                                "received: '6F0D8407A0000000041010A5029000' "}));
  EXPECT_EQ(sent(), (std::vector<std::string>{"00A4040005A00000000300", "00A4040007A000000004101000", "00C000000F"}));
  EXPECT_EQ(capacities(), std::vector<DWORD>(3, RECEIVE_AREA_SIZE));
}

TEST(SelectList, EveryFailingExchangeIsReportedAndTheWalkGoesOn) {
  const std::vector<std::string> aids = {"A000000003", "A0000000041010", "D276000124010200000000000000ABCD"};
  const Connected card =
      connect(selecting_card({{aids[0], failing(SCARD_W_REMOVED_CARD)},
                              {aids[1], failing(SCARD_E_COMM_DATA_LOST)},
                              {aids[2], failing(SCARD_F_COMM_ERROR)}}),
              true);
  support::Output out;
  select_aid_from_list(aids, card.card, card.protocol);
  EXPECT_EQ(out.text(), joined({"send: '" + select_command(aids[0]) + "' ",
                                "failed to select AID (transmit failed): '80100069'",
                                "send: '" + select_command(aids[1]) + "' ",
                                "failed to select AID (transmit failed): '8010002f'",
                                "send: '" + select_command(aids[2]) + "' ",
                                "failed to select AID (transmit failed): '80100013'"}));
  EXPECT_EQ(sent(), (std::vector<std::string>{select_command(aids[0]), select_command(aids[1]), select_command(aids[2])}));
}

TEST(SelectList, EveryRefusalIsReportedAndTheWalkGoesOn) {
  const Connected card = connect(selecting_card({{"A000000003", sim::Answer{bytes("9000")}},
                                                 {"A000000004", sim::Answer{bytes("6C10")}}}),
                                 true);
  support::Output out;
  select_aid_from_list({"A000000003", "A000000004", "A000000005"}, card.card, card.protocol);
  EXPECT_EQ(out.text(), joined({"send: '00A4040005A00000000300' ", "received: '9000' ",
                                "failed to select AID: 'A000000003' : 9000", "send: '00A4040005A00000000400' ",
                                "received: '6C10' ", "failed to select AID: 'A000000004' : 6C10",
                                "send: '00A4040005A00000000500' ", "received: '6A82' ",
                                "failed to select AID: 'A000000005' : 6A82"}));
  EXPECT_EQ(sent(), (std::vector<std::string>{"00A4040005A00000000300", "00A4040005A00000000400",
                                              "00A4040005A00000000500"}));
}

TEST(SelectList, ReceiveLengthIsFullBeforeEveryExchange) {
  // A failed exchange, a refusal with a 2-byte answer, a 1-byte answer and
  // an acceptance with 61 xx: each following exchange still offers the whole area.
  for (bool debug : {true, false}) {
    const Connected card = connect(selecting_card({{"A000000001", failing(SCARD_E_COMM_DATA_LOST)},
                                                   {"A000000002", sim::Answer{bytes("6A82")}},
                                                   {"A000000003", sim::Answer{bytes("90")}},
                                                   {"A000000004", sim::Answer{bytes("6100")}}}),
                                   debug);
    support::Output out;
    select_aid_from_list({"A000000001", "A000000002", "A000000003", "A000000004"}, card.card, card.protocol);
    EXPECT_EQ(sent(), (std::vector<std::string>{"00A4040005A00000000100", "00A4040005A00000000200",
                                                "00A4040005A00000000300", "00A4040005A00000000400", "00C0000000"}));
    EXPECT_EQ(capacities(), std::vector<DWORD>(5, RECEIVE_AREA_SIZE));
    // Selection writes traces only: without debug nothing at all.
    if (!debug) {
      EXPECT_EQ(out.text(), "");
    }
  }
}

TEST(SelectList, EmptyListSendsAndWritesNothing) {
  const Connected card = connect(selecting_card({}), true);
  const std::size_t before = sim::calls().size();
  support::Output out;
  select_aid_from_list({}, card.card, card.protocol);
  EXPECT_EQ(out.text(), "");
  EXPECT_EQ(sim::calls().size(), before);
}

TEST(SelectList, T0CardIsSelectedWithTheT0Pci) {
  const Connected card = connect(card_answering("6105", SCARD_PROTOCOL_T0), false);
  ASSERT_EQ(card.protocol, static_cast<DWORD>(SCARD_PROTOCOL_T0));
  select_aid_from_list({"A000000003"}, card.card, card.protocol);
  const auto calls = sim::calls_of("SCardTransmit");
  ASSERT_EQ(calls.size(), 2u);
  for (const sim::Call& c : calls) {
    EXPECT_EQ(c.pci, &g_rgSCardT0Pci);
    EXPECT_EQ(c.result, SCARD_S_SUCCESS);
  }
}

}  // namespace
