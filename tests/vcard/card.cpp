#include "card.h"

#include <cstddef>
#include <cstring>

namespace vcard {

namespace {

// Status words used by the card (ISO/IEC 7816-4).
const std::uint8_t SW_WRONG_LENGTH[] = {0x67, 0x00};
const std::uint8_t SW_FILE_NOT_FOUND[] = {0x6A, 0x82};
const std::uint8_t SW_WRONG_P1P2[] = {0x6A, 0x86};
const std::uint8_t SW_INS_NOT_SUPPORTED[] = {0x6D, 0x00};

Bytes status(const std::uint8_t (&sw)[2]) { return Bytes{sw[0], sw[1]}; }

Bytes with_status(Bytes data, std::uint8_t sw1, std::uint8_t sw2) {
  data.push_back(sw1);
  data.push_back(sw2);
  return data;
}

Bytes text(const char* s) { return Bytes(s, s + std::strlen(s)); }

Bytes hex(const char* s) {
  Bytes out;
  from_hex(s, out);
  return out;
}

// One BER-TLV object with a short (one-byte) length; every object this card
// builds is shorter than 128 bytes.
Bytes tlv(const Bytes& tag, const Bytes& value) {
  Bytes out = tag;
  out.push_back(static_cast<std::uint8_t>(value.size()));
  out.insert(out.end(), value.begin(), value.end());
  return out;
}

Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// ATR: TS, T0 (high nibble: which of TA1..TD1 follow, low nibble: number of
// historical bytes), the interface bytes, the historical bytes and, when any
// protocol other than T=0 is announced, the check byte TCK (XOR of T0 up to
// the last historical byte).
Bytes make_atr(const Bytes& interface_bytes, std::uint8_t t0_high, const Bytes& historical, bool with_tck) {
  Bytes atr;
  atr.reserve(3 + interface_bytes.size() + historical.size());
  atr.push_back(0x3B);
  atr.push_back(static_cast<std::uint8_t>(t0_high | historical.size()));
  atr.insert(atr.end(), interface_bytes.begin(), interface_bytes.end());
  atr.insert(atr.end(), historical.begin(), historical.end());
  if (with_tck) {
    std::uint8_t tck = 0;
    for (std::size_t i = 1; i < atr.size(); ++i) tck ^= atr[i];
    atr.push_back(tck);
  }
  return atr;
}

// Historical bytes: category indicator 80 (compact-TLV follows), then one
// card-issuer's-data object (tag 5) of 7 bytes naming the card.
Bytes historical(const char (&name)[8]) { return cat({{0x80, 0x57}, Bytes(name, name + 7)}); }

// T=1 only: TD1 = 81 (TD2 follows, T=1), TD2 = 31 (TA3 and TB3 follow, T=1),
// TA3 = FE (IFSC 254), TB3 = 45 (BWI 4, CWI 5).
Bytes t1_atr(const char (&name)[8]) { return make_atr({0x81, 0x31, 0xFE, 0x45}, 0x80, historical(name), true); }

// T=0 only: TD1 = 00 (nothing more follows, T=0), no TCK.
Bytes t0_atr(const char (&name)[8]) { return make_atr({0x00}, 0x80, historical(name), false); }

// Card production life-cycle data (GlobalPlatform tag 9F 7F), 42 bytes. The
// IC fabrication date, IC serial number and IC batch identifier sit at data
// offsets 10 to 17, i.e. bytes 13 to 20 of the whole object.
Bytes make_cplc(const Bytes& date_serial_batch) {
  Bytes data = cat({
      hex("4790"),        // IC fabricator
      hex("5167"),        // IC type
      hex("4791"),        // operating system identifier
      hex("8142"),        // operating system release date
      hex("1100"),        // operating system release level
      date_serial_batch,  // IC fabrication date (2), IC serial number (4), IC batch identifier (2)
      hex("4792"),        // IC module fabricator
      hex("8150"),        // IC module packaging date
      hex("1234"),        // ICC manufacturer
      hex("8151"),        // IC embedding date
      hex("0000"),        // IC pre-personalizer
      hex("0000"),        // IC pre-perso equipment date
      hex("00000000"),    // IC pre-perso equipment identifier
      hex("0000"),        // IC personalizer
      hex("0000"),        // IC personalization date
      hex("00000000"),    // IC perso equipment identifier
  });
  return tlv({0x9F, 0x7F}, data);
}

Application pse() {
  // 1PAY.SYS.DDF01: DF name, then the proprietary template with the SFI of
  // the directory file and the language preference.
  Bytes name = text("1PAY.SYS.DDF01");
  Bytes fci = tlv({0x6F}, cat({tlv({0x84}, name), tlv({0xA5}, cat({tlv({0x88}, {0x01}), tlv({0x5F, 0x2D}, text("en"))}))}));
  return {name, fci};
}

Application emv(const char* aid_hex, const char* label) {
  Bytes aid = hex(aid_hex);
  Bytes fci = tlv({0x6F}, cat({tlv({0x84}, aid), tlv({0xA5}, cat({tlv({0x50}, text(label)), tlv({0x87}, {0x01}),
                                                                 tlv({0x5F, 0x2D}, text("en"))}))}));
  return {aid, fci};
}

Application openpgp() {
  // Selected by the 6-byte partial AID; the FCI names the full 16-byte AID
  // (RID, application, version 3.4, manufacturer, serial number, RFU).
  Bytes aid = hex("D27600012401");
  Bytes fci = tlv({0x6F}, tlv({0x84}, hex("D2760001240103040006123456780000")));
  return {aid, fci};
}

Application bare(const Bytes& aid) { return {aid, tlv({0x6F}, tlv({0x84}, aid))}; }

std::size_t lc_of(const Bytes& command) { return command.size() > 4 ? command[4] : 0; }

}  // namespace

bool parse_profile(const std::string& name, Profile& out) {
  if (name == "apps") out = Profile::Apps;
  else if (name == "t0") out = Profile::T0;
  else if (name == "none") out = Profile::None;
  else if (name == "vanish") out = Profile::Vanish;
  else return false;
  return true;
}

const char* profile_name(Profile profile) {
  switch (profile) {
    case Profile::Apps: return "apps";
    case Profile::T0: return "t0";
    case Profile::None: return "none";
    case Profile::Vanish: return "vanish";
  }
  return "?";
}

Application application_for(const Bytes& aid) {
  for (const Application& known : {pse(), emv("A0000000031010", "VISA CREDIT"), emv("A0000000041010", "MASTERCARD"),
                                   openpgp()}) {
    if (known.aid == aid) return known;
  }
  return bare(aid);
}

Card::Card(Profile profile) : profile_(profile) {
  switch (profile) {
    case Profile::Apps:
    case Profile::Vanish:
      atr_ = t1_atr("QUILLON");
      apps_ = {pse(), emv("A0000000031010", "VISA CREDIT"), openpgp()};
      cplc_ = make_cplc(hex("3141592653589793"));
      break;
    case Profile::T0:
      atr_ = t0_atr("QUILLT0");
      apps_ = {emv("A0000000031010", "VISA DEBIT"), emv("A0000000041010", "MASTERCARD")};
      cplc_ = make_cplc(hex("2718281828459045"));
      break;
    case Profile::None:
      atr_ = t1_atr("QVCNONE");
      cplc_ = make_cplc(hex("1414213562373095"));
      break;
  }
}

void Card::carry_only(const std::vector<Bytes>& aids) {
  apps_.clear();
  for (const Bytes& aid : aids) apps_.push_back(application_for(aid));
  clear_state();
}

void Card::clear_state() {
  selected_ = -1;
  pending_.clear();
  last_was_select_ = false;
}

void Card::power_off() { clear_state(); }
void Card::power_on() { clear_state(); }
void Card::reset() { clear_state(); }

Bytes Card::process(const Bytes& command) {
  last_was_select_ = false;
  if (command.size() < 4) return status(SW_WRONG_LENGTH);
  const std::uint8_t cla = command[0], ins = command[1], p1 = command[2], p2 = command[3];
  // Under T=0 an announced answer only survives until the next command.
  Bytes pending;
  pending.swap(pending_);

  if (cla == 0x00 && ins == 0xA4) {
    last_was_select_ = true;
    return select(command);
  }
  if (cla == 0x00 && ins == 0xC0) {
    pending_.swap(pending);
    return get_response(command);
  }
  if ((cla == 0x80 || cla == 0x00) && ins == 0xCA && p1 == 0x9F && p2 == 0x7F) return get_data(command);
  return status(SW_INS_NOT_SUPPORTED);
}

Bytes Card::select(const Bytes& command) {
  const std::size_t lc = lc_of(command);
  // Case 3 (no Le) or case 4 (Le present) short APDU.
  if (command.size() < 5 || (command.size() != 5 + lc && command.size() != 6 + lc)) return status(SW_WRONG_LENGTH);
  const Bytes name(command.begin() + 5, command.begin() + 5 + static_cast<std::ptrdiff_t>(lc));
  if (command[2] != 0x04) return status(SW_FILE_NOT_FOUND);
  for (std::size_t i = 0; i < apps_.size(); ++i) {
    if (apps_[i].aid != name) continue;
    selected_ = static_cast<int>(i);
    const Bytes& fci = apps_[i].fci;
    if (uses_t0()) {
      // T=0 cannot return data with a case-4 command: announce it instead.
      pending_ = fci;
      return Bytes{0x61, static_cast<std::uint8_t>(fci.size())};
    }
    return with_status(fci, 0x90, 0x00);
  }
  return status(SW_FILE_NOT_FOUND);
}

Bytes Card::get_response(const Bytes& command) {
  if (command.size() != 5) return status(SW_WRONG_LENGTH);
  if (pending_.empty()) return status(SW_WRONG_P1P2);
  const std::size_t le = command[4] == 0 ? 256 : command[4];
  if (le > pending_.size()) return Bytes{0x6C, static_cast<std::uint8_t>(pending_.size())};
  Bytes out(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(le));
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(le));
  if (pending_.empty()) return with_status(out, 0x90, 0x00);
  return with_status(out, 0x61, static_cast<std::uint8_t>(pending_.size() > 255 ? 0 : pending_.size()));
}

Bytes Card::get_data(const Bytes& command) {
  if (command.size() != 4 && command.size() != 5) return status(SW_WRONG_LENGTH);
  if (uses_t0()) {
    // T=0 wants the exact length: Le 00 (or any other wrong Le) is
    // answered with 6C and the length of the object.
    if (command.size() != 5 || command[4] != cplc_.size()) return Bytes{0x6C, static_cast<std::uint8_t>(cplc_.size())};
  }
  return with_status(cplc_, 0x90, 0x00);
}

std::string to_hex(const Bytes& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (std::uint8_t b : bytes) {
    out.push_back(digits[b >> 4]);
    out.push_back(digits[b & 0x0F]);
  }
  return out;
}

bool from_hex(const std::string& text, Bytes& out) {
  auto nibble = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  if (text.size() % 2 != 0) return false;
  Bytes result;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int hi = nibble(text[i]), lo = nibble(text[i + 1]);
    if (hi < 0 || lo < 0) return false;
    result.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
  }
  out.swap(result);
  return true;
}

}  // namespace vcard
