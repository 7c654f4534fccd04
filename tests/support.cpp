#include "tests/support.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "apdu/transmit.h"
#include "app/console.h"

namespace support {

const char BANNER[83] =
    "Vantrel Quillon utility v.1.0\r\n"
    "Copyright (c) 2026 Vantrel\r\n"
    "\r\n"
    "Waiting for card...\r\n";

void fresh_start(bool debug) {
  debug_mode = debug;
  sim::reset();
  allow_reset_reconnects();
}

void reset_by_another_program(const std::string& reader) {
  SCARDCONTEXT context = 0;
  SCARDHANDLE other = 0;
  DWORD protocol = 0;
  ASSERT_EQ(SCardEstablishContext(SCARD_SCOPE_USER, nullptr, nullptr, &context), SCARD_S_SUCCESS);
  ASSERT_EQ(SCardConnect(context, reader.c_str(), SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &other,
                         &protocol),
            SCARD_S_SUCCESS);
  ASSERT_EQ(SCardDisconnect(other, SCARD_RESET_CARD), SCARD_S_SUCCESS);
  ASSERT_EQ(SCardReleaseContext(context), SCARD_S_SUCCESS);
}

Output::Output() {
  std::fflush(stdout);
  testing::internal::CaptureStdout();
}

Output::~Output() { text(); }

std::string Output::text() {
  if (active_) {
    std::fflush(stdout);
    text_ = testing::internal::GetCapturedStdout();
    active_ = false;
  }
  return text_;
}

sim::Bytes bytes(const std::string& hex) {
  sim::Bytes out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return out;
}

std::string hex(const sim::Bytes& data) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (std::uint8_t b : data) {
    out.push_back(digits[b >> 4]);
    out.push_back(digits[b & 15]);
  }
  return out;
}

sim::Bytes cplc_answer(const std::string& serial8) {
  sim::Bytes answer = bytes("9F7F2A");
  // IC fabricator, IC type, operating system identifier, release date and level.
  const sim::Bytes head = bytes("4790503300012345");
  answer.insert(answer.end(), head.begin(), head.end());
  answer.push_back(0x00);
  answer.push_back(0x00);
  const sim::Bytes serial = bytes(serial8);
  answer.insert(answer.end(), serial.begin(), serial.end());
  while (answer.size() < 45) answer.push_back(static_cast<std::uint8_t>(answer.size()));
  answer.push_back(0x90);
  answer.push_back(0x00);
  return answer;
}

sim::Card application_card(std::set<std::string> aids, const std::string& serial8, DWORD protocol, sim::Bytes atr) {
  const sim::Bytes cplc = cplc_answer(serial8);
  return sim::card_answering(std::move(atr), protocol, [aids, cplc](const sim::Bytes& command) -> sim::Bytes {
    if (command.size() >= 5 && command[0] == 0x00 && command[1] == 0xA4 && command[2] == 0x04) {
      const std::size_t lc = command[4];
      if (command.size() < 5 + lc) return bytes("6700");
      const std::string aid = hex(sim::Bytes(command.begin() + 5, command.begin() + 5 + static_cast<long>(lc)));
      if (aids.count(aid) == 0) return bytes("6A82");
      sim::Bytes fci = bytes("6F0A8408");
      const sim::Bytes name = bytes(aid);
      fci.insert(fci.end(), name.begin(), name.end());
      fci.resize(12, 0x00);
      fci.push_back(0x90);
      fci.push_back(0x00);
      return fci;
    }
    if (command.size() == 5 && command[0] == 0x00 && command[1] == 0xC0) return bytes("6A86");
    if (command.size() == 5 && command[0] == 0x80 && command[1] == 0xCA && command[2] == 0x9F && command[3] == 0x7F)
      return cplc;
    return bytes("6D00");
  });
}

std::vector<std::string> lines(const std::string& output) {
  std::vector<std::string> out;
  std::size_t pos = 0;
  while (pos < output.size()) {
    const std::size_t end = output.find("\r\n", pos);
    if (end == std::string::npos) {
      out.push_back(output.substr(pos));
      break;
    }
    out.push_back(output.substr(pos, end - pos));
    pos = end + 2;
  }
  return out;
}

}  // namespace support
