// libFuzzer target for the card command layer: arbitrary text for the hex
// decoder, and arbitrary card answers (0 to 260 bytes each, or a failed
// exchange) for command transmission, AID selection and the serial number
// read, run on the simulated PC/SC. AddressSanitizer catches any read or
// write outside the receive areas and texts; the checks below catch answers
// that break the layer's own rules.
#include <fuzzer/FuzzedDataProvider.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "apdu/hex.h"
#include "apdu/select.h"
#include "apdu/serial.h"
#include "apdu/transmit.h"
#include "app/console.h"
#include "tests/support.h"

namespace {

#define FUZZ_CHECK(cond)                                                         \
  do {                                                                           \
    if (!(cond)) {                                                               \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      std::abort();                                                              \
    }                                                                            \
  } while (0)

bool is_hex_digit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Decoding any text: both forms agree, the result is the longest run of
// whole valid pairs from the start, and it encodes back to those pairs in
// upper case. The text sits in an allocation of exactly its length, so a
// read past it is caught.
void fuzz_hex(FuzzedDataProvider& in) {
  const std::string text = in.ConsumeRemainingBytesAsString();
  std::unique_ptr<char[]> exact(new char[text.size()]);
  if (!text.empty()) std::memcpy(exact.get(), text.data(), text.size());

  const ByteBuffer decoded = from_hex(exact.get(), text.size());
  FUZZ_CHECK(from_hex(text) == decoded);

  std::size_t pairs = 0;
  while (2 * pairs + 1 < text.size() && is_hex_digit(text[2 * pairs]) && is_hex_digit(text[2 * pairs + 1])) ++pairs;
  FUZZ_CHECK(decoded.size() == pairs);

  std::string upper = text.substr(0, 2 * pairs);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  FUZZ_CHECK(to_hex(decoded) == upper);
  FUZZ_CHECK(to_hex(decoded.data(), decoded.size()) == upper);

  const ByteBuffer doubled = concat(decoded, decoded);
  FUZZ_CHECK(doubled.size() == 2 * decoded.size());
  FUZZ_CHECK(from_hex(to_hex(doubled)) == doubled);
  FUZZ_CHECK(concat(decoded, static_cast<std::uint8_t>(0x5A)).back() == 0x5A);
}

// The next answer of the card, taken from the input: a failed exchange with
// one of a few codes, or 0 to 260 bytes. An input that has run out gives
// 6A 82.
sim::Answer next_answer(FuzzedDataProvider& in) {
  static const LONG codes[] = {SCARD_W_REMOVED_CARD, SCARD_E_COMM_DATA_LOST, SCARD_F_COMM_ERROR, SCARD_W_RESET_CARD,
                               SCARD_E_TIMEOUT};
  if (in.remaining_bytes() == 0) return sim::Answer{{0x6A, 0x82}};
  const std::uint8_t kind = in.ConsumeIntegral<std::uint8_t>();
  if (kind < 16) {
    sim::Answer failed;
    failed.result = codes[kind % (sizeof codes / sizeof codes[0])];
    return failed;
  }
  const std::size_t length = in.ConsumeIntegralInRange<std::size_t>(0, RECEIVE_AREA_SIZE);
  return sim::Answer{in.ConsumeBytes<std::uint8_t>(length)};
}

struct Connected {
  SCARDHANDLE card = 0;
  DWORD protocol = 0;
};

// A fresh simulated world with one card whose every answer comes from the
// input, and a connection to it.
Connected connect(FuzzedDataProvider& in) {
  support::fresh_start(in.ConsumeBool());
  sim::add_reader("R");
  sim::Card card;
  card.atr = {0x3B, 0x80, 0x80, 0x01, 0x01};
  card.protocol = in.ConsumeBool() ? SCARD_PROTOCOL_T0 : SCARD_PROTOCOL_T1;
  card.respond = [&in](const sim::Bytes&) { return next_answer(in); };
  sim::insert_card("R", std::move(card));
  SCARDCONTEXT context = 0;
  FUZZ_CHECK(SCardEstablishContext(SCARD_SCOPE_USER, nullptr, nullptr, &context) == SCARD_S_SUCCESS);
  Connected c;
  FUZZ_CHECK(SCardConnect(context, "R", SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &c.card,
                          &c.protocol) == SCARD_S_SUCCESS);
  return c;
}

// An AID text: mostly catalogue-like, sometimes any text up to 600
// characters (odd lengths, invalid digits, Lc beyond one byte).
HexString next_aid(FuzzedDataProvider& in) {
  static const char* const known[] = {"A000000003", "A0000000031010", "A0000000041010",
                                      "D276000124010200000000000000ABCD", "a0000000031010"};
  const std::uint8_t pick = in.ConsumeIntegral<std::uint8_t>();
  if (pick < 200) return known[pick % (sizeof known / sizeof known[0])];
  return in.ConsumeRandomLengthString(600);
}

// Every exchange offered the whole receive area.
void check_capacities() {
  for (const sim::Call& c : sim::calls_of("SCardTransmit")) FUZZ_CHECK(c.receive_capacity == RECEIVE_AREA_SIZE);
}

// The commands sent, less those sent again after a reset (SCARD_W_RESET_CARD
// answered by a reconnect), which are the only reconnects here.
std::size_t exchanges() {
  const std::size_t transmits = sim::calls_of("SCardTransmit").size();
  const std::size_t reconnects = static_cast<std::size_t>(sim::count("SCardReconnect"));
  FUZZ_CHECK(reconnects <= static_cast<std::size_t>(MAX_RESET_RECONNECTS) && reconnects < transmits + 1);
  return transmits - reconnects;
}

void fuzz_transmit(FuzzedDataProvider& in) {
  const Connected c = connect(in);
  // An area of exactly the capacity given, so that a write past it is caught.
  const DWORD capacity = in.ConsumeIntegralInRange<DWORD>(0, RECEIVE_AREA_SIZE);
  std::unique_ptr<std::uint8_t[]> area(new std::uint8_t[capacity == 0 ? 1 : capacity]);
  std::memset(area.get(), 0xEE, capacity == 0 ? 1 : capacity);
  DWORD length = capacity;
  const ByteBuffer command = from_hex("80CA9F7F00");
  const LONG result = transmit_apdu(command, area.get(), length, c.card, c.protocol);
  if (result == SCARD_S_SUCCESS) {
    FUZZ_CHECK(length <= capacity);
    for (DWORD i = length; i < capacity; ++i) FUZZ_CHECK(area[i] == 0);
  }
}

void fuzz_select_list(FuzzedDataProvider& in) {
  const Connected c = connect(in);
  std::vector<HexString> aids(in.ConsumeIntegralInRange<std::size_t>(0, 4));
  for (HexString& aid : aids) aid = next_aid(in);
  select_aid_from_list(aids, c.card, c.protocol);
  check_capacities();
  // At most one SELECT per AID and one GET RESPONSE, each sent again only
  // after a reconnect that a reset called for.
  FUZZ_CHECK(exchanges() <= aids.size() + 1);
}

void fuzz_try_select(FuzzedDataProvider& in) {
  const Connected c = connect(in);
  const HexString aid = next_aid(in);
  // A receive area of exactly the size every caller uses, on the heap.
  std::unique_ptr<std::uint8_t[]> area(new std::uint8_t[RECEIVE_AREA_SIZE]);
  DWORD length = in.ConsumeIntegral<DWORD>();
  const bool accepted = try_select(aid, area.get(), length, c.card, c.protocol);
  check_capacities();
  FUZZ_CHECK(length <= RECEIVE_AREA_SIZE);
  FUZZ_CHECK(exchanges() == (accepted ? 2u : 1u));
}

void fuzz_serial(FuzzedDataProvider& in) {
  const Connected c = connect(in);
  if (in.ConsumeIntegral<std::uint8_t>() < 16) sim::fail("SCardBeginTransaction", 1, SCARD_E_SHARING_VIOLATION);
  const int reads = in.ConsumeIntegralInRange<int>(1, 2);
  for (int i = 0; i < reads; ++i) read_card_serial(next_aid(in), c.card, c.protocol);
  check_capacities();
  // Each read ends its transaction exactly once, with a reset.
  const auto ends = sim::calls_of("SCardEndTransaction");
  FUZZ_CHECK(ends.size() == static_cast<std::size_t>(reads));
  for (const sim::Call& e : ends) FUZZ_CHECK(e.value == SCARD_RESET_CARD);
  // No transaction is left open (a refused one is ended all the same).
  FUZZ_CHECK(sim::open_transactions() <= 0);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The traces are formatted (debug mode is chosen per input) but not kept.
  if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  switch (in.ConsumeIntegralInRange<int>(0, 4)) {
    case 0:
      fuzz_hex(in);
      break;
    case 1:
      fuzz_transmit(in);
      break;
    case 2:
      fuzz_select_list(in);
      break;
    case 3:
      fuzz_try_select(in);
      break;
    default:
      fuzz_serial(in);
      break;
  }
  // Drop the card, whose answers refer to this input.
  support::fresh_start(false);
  return 0;
}
