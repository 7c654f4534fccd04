// The console log's level rule and line ends, and the entry point's switch
// and banner.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/console.h"
#include "app/entry.h"
#include "tests/support.h"

using support::BANNER;

namespace {

// What the log calls made by write() put on standard output.
template <typename Write>
std::string logged(bool debug, Write write) {
  support::fresh_start(debug);
  support::Output out;
  write();
  return out.text();
}

// Runs the whole program with these arguments on a machine without readers
// for 12 virtual seconds, and returns its output.
std::string run_program(std::vector<std::string> args) {
  support::fresh_start(false);
  sim::stop_at(12000);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(&a[0]);
  argv.push_back(nullptr);
  support::Output out;
  EXPECT_TRUE(sim::run_until_stop([&] { quillon_main(static_cast<int>(args.size()), argv.data()); }));
  return out.text();
}

}  // namespace

TEST(ConsoleLog, LevelRule) {
  EXPECT_EQ(logged(false, [] { console_log(0, "trace"); }), "");
  EXPECT_EQ(logged(false, [] { console_log(-5, "trace"); }), "");
  EXPECT_EQ(logged(false, [] { console_log(1, "report"); }), "report\r\n");
  EXPECT_EQ(logged(false, [] { console_log(3, "problem"); }), "problem\r\n");
  EXPECT_EQ(logged(true, [] { console_log(0, "trace"); }), "trace\r\n");
  EXPECT_EQ(logged(true, [] { console_log(-1, "trace"); }), "trace\r\n");
}

TEST(ConsoleLog, FormatsLikePrintfAndEndsWithCrLf) {
  EXPECT_EQ(logged(false, [] { console_log(1, "Reader: %s", "a%sb"); }), "Reader: a%sb\r\n");
  EXPECT_EQ(logged(false, [] { console_log(1, "%s", ""); }), "\r\n");
  // A format's own line breaks are kept, and CR LF follows them.
  EXPECT_EQ(logged(true, [] { console_log(0, "A reader has been removed !\n\n"); }),
            "A reader has been removed !\n\n\r\n");
  support::fresh_start(false);
  support::Output out;
  console_log(1, "%d|%x|%08X", -3, 0x8010000Au, 0x8010001Du);
  EXPECT_EQ(out.text(), "-3|8010000a|8010001D\r\n");
}

TEST(Entry, BannerComesFirstAndIsTheSameInBothModes) {
  const std::string plain = run_program({"quillon"});
  const std::string debug = run_program({"quillon", "debug"});
  ASSERT_EQ(plain.substr(0, sizeof BANNER - 1), BANNER);
  ASSERT_EQ(debug.substr(0, sizeof BANNER - 1), BANNER);
  // Without readers and without the switch, nothing follows the banner.
  EXPECT_EQ(plain, BANNER);
  EXPECT_NE(debug.find("no SCard readers detected...\r\n"), std::string::npos);
}

TEST(Entry, DebugSwitchIsTheFirstArgumentInAnyCase) {
  const std::string trace = "no SCard readers detected...\r\n";
  for (const char* on : {"debug", "DEBUG", "Debug", "dEbUg"}) {
    EXPECT_NE(run_program({"quillon", on}).find(trace), std::string::npos) << on;
    EXPECT_TRUE(debug_mode) << on;
  }
  for (std::vector<std::string> off : std::vector<std::vector<std::string>>{
           {"quillon", "debugx"}, {"quillon", "-debug"}, {"quillon", " debug"}, {"quillon", "debu"},
           {"quillon", "x", "debug"}, {"quillon", ""}}) {
    EXPECT_EQ(run_program(off), BANNER) << off[1];
    EXPECT_FALSE(debug_mode) << off[1];
  }
}

namespace {

// The program with a card to report, its standard output on /dev/full.
void program_on_full_device() {
  support::fresh_start(false);
  sim::add_reader("Reader A");
  sim::insert_card("Reader A", support::application_card({"A0000000031010"}));
  if (std::freopen("/dev/full", "w", stdout) == nullptr) std::_Exit(99);
  std::string arg0 = "quillon";
  char* argv[] = {&arg0[0], nullptr};
  quillon_main(1, argv);
  // Never reached: a program that got here scanned and returned.
  std::_Exit(sim::count("SCardEstablishContext") == 0 ? 98 : 97);
}

}  // namespace

TEST(ConsoleLogDeathTest, OutputThatCannotBeWrittenEndsTheProgramWithOneLine) {
#ifdef QUILLON_TESTS_EMULATED
  GTEST_SKIP() << "a death test's fork does not come back under qemu-user; the native build runs it";
#endif
  // /dev/full takes no byte (ENOSPC), as a full disk: the first line that
  // cannot be written ends the program with status 1 and one line on
  // standard error, whether it is the banner or a report line, with debug
  // or without.
  // The statement runs in a fork of this process ("fast"), not in the test
  // binary executed again ("threadsafe").
  GTEST_FLAG_SET(death_test_style, "fast");
  const char* const expected = "^quillon: cannot write to standard output: No space left on device\n$";
  EXPECT_EXIT(
      {
        if (std::freopen("/dev/full", "w", stdout) == nullptr) std::_Exit(99);
        console_log(1, "report");
        std::_Exit(0);
      },
      testing::ExitedWithCode(CONSOLE_WRITE_FAILED), expected);
  EXPECT_EXIT(
      {
        if (std::freopen("/dev/full", "w", stdout) == nullptr) std::_Exit(99);
        debug_mode = true;
        console_log(0, "trace");
        std::_Exit(0);
      },
      testing::ExitedWithCode(1), expected);
  // The whole program: the banner is the first write, and nothing else runs.
  EXPECT_EXIT(program_on_full_device(), testing::ExitedWithCode(1), expected);
}
