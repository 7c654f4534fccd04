// Shared helpers for the tests that run the system on the simulated PC/SC.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "tests/sim/sim_pcsc.h"

namespace support {

// Puts the process back to its start: debug off, empty simulated world.
void fresh_start(bool debug = false);

// Captures everything written to standard output between start() and text().
class Output {
 public:
  Output();
  ~Output();
  std::string text();  // ends the capture and returns the bytes written

 private:
  bool active_ = true;
  std::string text_;
};

// Bytes from a hex text, e.g. bytes("9000").
sim::Bytes bytes(const std::string& hex);
std::string hex(const sim::Bytes& bytes);

// The full card production life-cycle data object, 9F 7F 2A and 42 data
// bytes, with the IC fabrication date, serial number and batch identifier at
// answer offsets 13 to 20 set to serial8 (16 hex digits), followed by 90 00.
sim::Bytes cplc_answer(const std::string& serial8);

// A card that accepts a SELECT of exactly the given AIDs with an FCI and
// 90 00 (other SELECTs: 6A 82), answers GET RESPONSE with 6A 86, and GET DATA
// 9F 7F with the full life-cycle data at once.
sim::Card application_card(std::set<std::string> aids, const std::string& serial8 = "1122334455667788",
                           DWORD protocol = SCARD_PROTOCOL_T1, sim::Bytes atr = bytes("3B8880010000000000000000"));

// Another program connected to the card in reader resets it: it connects
// shared and disconnects with SCARD_RESET_CARD, as card middleware or a
// second Quillon's serial read does. Every other handle on the card then
// answers SCARD_W_RESET_CARD until it is reconnected.
void reset_by_another_program(const std::string& reader);

// The text the log writes for one line.
inline std::string line(const std::string& text) { return text + "\r\n"; }

// The four banner lines.
extern const char BANNER[83];

// Splits output into its lines (without "\r\n").
std::vector<std::string> lines(const std::string& output);

}  // namespace support
