// Whatever a card or the platform hands over, the tool must neither crash,
// hang nor read past a buffer: odd reader lists and names, answers of every
// length, a stack that misreports lengths, a card that always has more data.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/entry.h"
#include "monitor/monitor.h"
#include "tests/support.h"

using support::line;

namespace {

struct Outcome {
  bool returned = false;
  std::string out;
};

Outcome run_program(bool debug, std::uint64_t until_ms) {
  sim::stop_at(until_ms);
  std::string arg0 = "quillon", arg1 = "debug";
  char* argv[] = {&arg0[0], debug ? &arg1[0] : nullptr, nullptr};
  Outcome outcome;
  support::Output out;
  outcome.returned = !sim::run_until_stop([&] { quillon_main(debug ? 2 : 1, argv); });
  outcome.out = out.text();
  return outcome;
}

int occurrences(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + what.size())) ++n;
  return n;
}

// A card that answers every command with the same bytes.
sim::Card answering_always(const sim::Bytes& answer) {
  return sim::card_answering(support::bytes("3B00"), SCARD_PROTOCOL_T1, [answer](const sim::Bytes&) { return answer; });
}

}  // namespace

TEST(Hostile, AnswersOfEveryLengthToEveryCommand) {
  for (std::size_t n = 0; n <= 260; ++n) {
    // 61 first, so that a two-byte answer accepts too; the other bytes count up.
    sim::Bytes answer(n);
    for (std::size_t i = 0; i < n; ++i) answer[i] = i == 0 ? 0x61 : static_cast<std::uint8_t>(i);
    support::fresh_start(n % 16 == 0);  // debug now and then: the traces render every answer
    sim::add_reader("Reader A");
    sim::insert_card("Reader A", answering_always(answer));
    const Outcome outcome = run_program(n % 16 == 0, n < 2 ? 3000 : 60000);
    if (n < 2) {
      // Too short to hold a status word: every SELECT is refused, nothing is
      // reported and the tool goes on waiting.
      EXPECT_FALSE(outcome.returned) << n;
      EXPECT_EQ(occurrences(outcome.out, "found AID:"), 0) << n;
      EXPECT_GE(occurrences(outcome.out, line("failed to read AID list => retrying")), 1) << n;
      continue;
    }
    ASSERT_TRUE(outcome.returned) << n;
    // Every SELECT is accepted: a block for each of the 255 rows.
    EXPECT_EQ(occurrences(outcome.out, "found AID:   '"), 255) << n;
    if (n >= 23) {
      const std::string serial = support::hex(sim::Bytes(answer.begin() + 13, answer.begin() + 21));
      EXPECT_EQ(occurrences(outcome.out, line("received serial number (id): '" + serial + "' ")), 255) << n;
    } else {
      EXPECT_EQ(occurrences(outcome.out, "reader response too short: " + std::to_string(n) + " byte(s) '"), 255) << n;
    }
  }
}

TEST(Hostile, TwoByteRefusalsAndOversizedAnswers) {
  // A card refusing everything is never reported; the tool just goes on.
  support::fresh_start(false);
  sim::add_reader("Reader A");
  sim::insert_card("Reader A", answering_always(support::bytes("6C6C")));
  Outcome outcome = run_program(false, 20000);
  EXPECT_FALSE(outcome.returned);
  EXPECT_EQ(outcome.out.substr(outcome.out.size() - 37), line("failed to read AID list => retrying"));

  // Answers larger than the receive area: every exchange fails, nothing is read.
  for (std::size_t n : {261u, 300u, 4096u}) {
    support::fresh_start(true);
    sim::add_reader("Reader A");
    sim::insert_card("Reader A", answering_always(sim::Bytes(n, 0x90)));
    outcome = run_program(true, 3000);
    EXPECT_FALSE(outcome.returned);
    EXPECT_GE(occurrences(outcome.out, line("failed to select AID (transmit failed): '80100008'")), 255) << n;
  }
}

TEST(Hostile, StackThatClaimsMoreBytesThanTheAreaHolds) {
  for (DWORD claimed : {261u, 1000u, 0xFFFFFFFFu}) {
    support::fresh_start(true);
    sim::add_reader("Reader A");
    sim::Card card = support::application_card({});
    card.respond = [claimed](const sim::Bytes&) {
      sim::Answer a;
      a.bytes = sim::Bytes(260, 0x61);
      a.lie_about_length = true;
      a.reported_length = claimed;
      return a;
    };
    sim::insert_card("Reader A", card);
    const Outcome outcome = run_program(true, 60000);
    ASSERT_TRUE(outcome.returned) << claimed;
    // What is shown is cut to the 260 bytes of the area.
    EXPECT_NE(outcome.out.find(line("received: '" + support::hex(sim::Bytes(260, 0x61)) + "' ")), std::string::npos);
    EXPECT_EQ(occurrences(outcome.out, "received serial number (id): '6161616161616161' \r\n"), 255);
  }
}

TEST(Hostile, CardThatAlwaysHasMoreData) {
  // 61 xx forever: one GET RESPONSE per accepted SELECT, no chase.
  support::fresh_start(false);
  sim::add_reader("Reader A");
  sim::insert_card("Reader A", answering_always(support::bytes("61FF")));
  const Outcome outcome = run_program(false, 60000);
  ASSERT_TRUE(outcome.returned);
  int get_responses = 0;
  for (const auto& c : sim::calls_of("SCardTransmit"))
    if (c.sent.size() == 5 && c.sent[1] == 0xC0) ++get_responses;
  EXPECT_EQ(get_responses, 255 + 255);  // the scan's, and one per block's selection
  EXPECT_EQ(occurrences(outcome.out, "reader response too short: 2 byte(s) '61FF'-> ignoring"), 255);
}

TEST(Hostile, MalformedReaderLists) {
  struct Case {
    std::string raw;
    std::vector<std::string> readers;  // what must be printed, in order
  };
  const std::vector<Case> cases{
      // A name cut by the end of the list ends there.
      {std::string("Reader A", 8), {"Reader A"}},
      {std::string("Reader A\0Reader B", 17), {"Reader A", "Reader B"}},
      {std::string("\0", 1), {}},                             // nothing but the end mark
      {std::string("%n%n%s\0\0", 8), {"%n%n%s"}},
      {std::string(1000, 'x') + std::string("\0\0", 2), {std::string(1000, 'x')}},
  };
  for (const Case& c : cases) {
    support::fresh_start(false);
    sim::add_reader("placeholder");
    sim::set_raw_reader_list(c.raw);
    // The stack does not know the names of its own broken list; with
    // WinSCard's answer to a wait on them the walk shows how each was taken.
    sim::answer_unknown_reader(sim::UnknownReader::winscard);
    const Outcome outcome = run_program(false, 3000);
    EXPECT_FALSE(outcome.returned);
    std::string expected(support::BANNER);
    for (const std::string& r : c.readers) expected += line("Reader: " + r);
    EXPECT_EQ(outcome.out.substr(0, expected.size()), expected) << c.raw.size();
    // Later walks print the same names and nothing else.
    for (const std::string& l : support::lines(outcome.out)) {
      if (l.compare(0, 8, "Reader: ") == 0) {
        EXPECT_NE(std::find(c.readers.begin(), c.readers.end(), l.substr(8)), c.readers.end()) << l;
      }
    }
    if (c.readers.empty()) {
      EXPECT_EQ(occurrences(outcome.out, "Reader: "), 0);
    }
  }
}
