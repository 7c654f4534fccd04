// libFuzzer target for a whole run of the program on the simulated PC/SC:
// the input scripts the world (command-line switch, card protocol and ATR,
// readers and their names, a raw reader list, a card pulled out and put back,
// platform faults) and then the card's answer to every command, one answer
// per SCardTransmit. Each run is bounded in virtual time and in calls, so
// every input ends. After the run the call record is checked against the
// rules the program keeps with the platform (contexts, card handles,
// transactions) and against the exact command sequence of a card session;
// AddressSanitizer and UndefinedBehaviorSanitizer catch memory errors.
//
// Input layout, read from the front (past its end every byte reads as 0):
//   flags      bits 0-1 switch: none, "debug", "DEBUG", or a text (length
//              byte, then up to 15 bytes); bits 2-4 card protocol; bit 5 a
//              raw reader list follows the readers
//   ATR        length byte (taken modulo 34), then the bytes
//   readers    byte: bits 0-1 number of readers - 1, bits 2-3 the reader
//              holding the card (none when beyond the readers), bit 4 the
//              card's reader gets a name from the input (two length bytes,
//              modulo 301, then the bytes)
//   raw list   (bit 5 of flags) two length bytes modulo 301, then the bytes
//   event      byte: 0 none, 1 card pulled out at call N, 2 reader unplugged
//              at call N, 3 card pulled out at call N and put back at call
//              N + M; then N and M (two bytes each, modulo 4096)
//   faults     count byte (modulo 5); each: function byte, code byte, nth
//              (two bytes, modulo 1024, plus 1), times byte (255: always)
//   answers    one per SCardTransmit, until the input runs out; then 6A 82.
//              Kind byte K:
//                0x00-0x0B  the exchange fails with error code K
//                0x0C-0x0F  a stack that misreports the length: length byte
//                           (see below), the bytes, a 4-byte reported length
//                0x10-0x17  the next answer, given (count byte + 1) times
//                0x18-0x1B  the card is pulled out during the command; odd K:
//                           put back (delay byte x 100) ms later
//                0x1C-0xFF  length byte L (255: 255 + next byte modulo 6, so
//                           at most 260), then the bytes
//
// QUILLON_FUZZ_RECORD=1 in the environment prints each run's call record.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "apdu/transmit.h"
#include "app/console.h"
#include "app/entry.h"
#include "catalogue/aid_catalogue.h"
#include "monitor/monitor.h"
#include "tests/sim/sim_pcsc.h"

namespace {

// Virtual time and calls allowed for one run: enough for several complete
// sessions of a card that accepts every catalogue application, little enough
// to keep a run within a few milliseconds.
constexpr std::uint64_t RUN_MS = 20000;
constexpr std::size_t RUN_CALLS = 5000;

#define FUZZ_CHECK(cond, index)                                                                          \
  do {                                                                                                   \
    if (!(cond)) {                                                                                       \
      std::fprintf(stderr, "%s:%d: check failed at call %zu: %s\n", __FILE__, __LINE__,                \
                   static_cast<std::size_t>(index), #cond);                                              \
      dump_record();                                                                                     \
      std::abort();                                                                                      \
    }                                                                                                    \
  } while (0)

// The platform's real error codes, for faults and failed exchanges.
const LONG ERROR_CODES[] = {SCARD_E_NO_SERVICE,        SCARD_E_SERVICE_STOPPED,  SCARD_E_NO_READERS_AVAILABLE,
                            SCARD_E_READER_UNAVAILABLE, SCARD_E_NO_SMARTCARD,     SCARD_W_REMOVED_CARD,
                            SCARD_W_RESET_CARD,         SCARD_E_SHARING_VIOLATION, SCARD_E_TIMEOUT,
                            SCARD_E_INVALID_HANDLE,     SCARD_F_INTERNAL_ERROR,   SCARD_E_NOT_TRANSACTED};
constexpr std::size_t ERROR_COUNT = sizeof ERROR_CODES / sizeof ERROR_CODES[0];

const char* const FAULT_FUNCTIONS[] = {"SCardEstablishContext", "SCardReleaseContext",   "SCardListReaders",
                                       "SCardGetStatusChange",  "SCardConnect",          "SCardDisconnect",
                                       "SCardReconnect",        "SCardBeginTransaction", "SCardEndTransaction",
                                       "SCardTransmit",         "SCardStatus"};
constexpr std::size_t FAULT_FUNCTION_COUNT = sizeof FAULT_FUNCTIONS / sizeof FAULT_FUNCTIONS[0];

// Protocols a card may have: mostly T=0 and T=1, sometimes both bits (the
// connect reports an active protocol that is neither), raw, or none.
const DWORD PROTOCOLS[] = {SCARD_PROTOCOL_T0, SCARD_PROTOCOL_T1, SCARD_PROTOCOL_T0, SCARD_PROTOCOL_T1,
                           SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, SCARD_PROTOCOL_RAW, 0, SCARD_PROTOCOL_T1};

// The input, read from the front; past its end it reads as zeros.
class Input {
 public:
  void reset(const std::uint8_t* data, std::size_t size) {
    data_ = data;
    size_ = size;
    pos_ = 0;
  }
  bool empty() const { return pos_ >= size_; }
  std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  std::uint16_t u16() {
    const std::uint16_t high = byte();
    return static_cast<std::uint16_t>((high << 8) | byte());
  }
  std::uint32_t u32() {
    const std::uint32_t high = u16();
    return (high << 16) | u16();
  }
  // Up to n bytes: fewer when the input runs out.
  sim::Bytes bytes(std::size_t n) {
    const std::size_t take = std::min(n, size_ - std::min(pos_, size_));
    sim::Bytes out(data_ + pos_, data_ + pos_ + take);
    pos_ += take;
    return out;
  }
  std::string text(std::size_t n) {
    const sim::Bytes b = bytes(n);
    return std::string(b.begin(), b.end());
  }

 private:
  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t pos_ = 0;
};

// One run's script and what it handed out.
struct Script {
  Input in;
  DWORD protocol = SCARD_PROTOCOL_T1;
  sim::Bytes atr;
  std::string card_reader;
  // An answer given again for the next repeat_left commands.
  sim::Answer repeated;
  int repeat_left = 0;
  // Every answer handed to the simulated stack, with the index of its
  // SCardTransmit in the call record.
  std::vector<std::pair<std::size_t, sim::Answer>> given;
  // Call numbers (indexes in the record) of the scripted world events.
  std::size_t pull_at = SIZE_MAX;
  std::size_t unplug_at = SIZE_MAX;
  std::size_t put_back_at = SIZE_MAX;
};

Script& script() {
  static Script s;
  return s;
}

sim::Card make_card();

sim::Bytes answer_bytes(Input& in, std::uint8_t length_byte) {
  std::size_t length = length_byte;
  if (length == 255) length += in.byte() % 6;
  return in.bytes(length);
}

sim::Answer failed(LONG code) {
  sim::Answer a;
  a.result = code;
  return a;
}

// The next answer from the input, without repeats; may act on the world.
sim::Answer decode_answer(Script& s, bool may_repeat) {
  Input& in = s.in;
  if (in.empty()) return sim::Answer{{0x6A, 0x82}};
  const std::uint8_t kind = in.byte();
  if (kind < 0x0C) return failed(ERROR_CODES[kind]);
  if (kind < 0x10) {
    sim::Answer a;
    a.bytes = answer_bytes(in, in.byte());
    a.lie_about_length = true;
    a.reported_length = in.u32();
    return a;
  }
  if (kind < 0x18) {
    const int times = in.byte() + 1;
    if (!may_repeat) return sim::Answer{{0x6A, 0x82}};
    s.repeated = decode_answer(s, false);
    s.repeat_left = times - 1;
    return s.repeated;
  }
  if (kind < 0x1C) {
    // The card leaves the reader in the middle of the exchange.
    sim::remove_card(s.card_reader);
    if (kind & 1) {
      const std::uint64_t delay = static_cast<std::uint64_t>(in.byte()) * 100;
      sim::at(sim::now_ms() + delay, [] { sim::insert_card(script().card_reader, make_card()); });
    }
    return failed(SCARD_W_REMOVED_CARD);
  }
  return sim::Answer{answer_bytes(in, in.byte())};
}

sim::Answer next_answer() {
  Script& s = script();
  sim::Answer answer;
  if (s.repeat_left > 0) {
    --s.repeat_left;
    answer = s.repeated;
  } else {
    answer = decode_answer(s, true);
  }
  // The stack has just recorded this SCardTransmit as its last call.
  s.given.emplace_back(sim::calls().size() - 1, answer);
  return answer;
}

sim::Card make_card() {
  sim::Card card;
  card.atr = script().atr;
  card.protocol = script().protocol;
  card.respond = [](const sim::Bytes&) { return next_answer(); };
  return card;
}

std::string fixed_name(std::size_t i) { return "Reader " + std::string(1, static_cast<char>('A' + i)); }

// Builds the world from the head of the input and returns the switch for the
// command line (empty: none).
std::pair<bool, std::string> set_up(Script& s) {
  Input& in = s.in;
  const std::uint8_t flags = in.byte();
  std::pair<bool, std::string> arg{true, ""};
  switch (flags & 3) {
    case 0: arg.first = false; break;
    case 1: arg.second = "debug"; break;
    case 2: arg.second = "DEBUG"; break;
    default: arg.second = in.text(in.byte() % 16); break;
  }
  s.protocol = PROTOCOLS[(flags >> 2) & 7];
  s.atr = in.bytes(in.byte() % 34);

  const std::uint8_t readers = in.byte();
  const std::size_t reader_count = (readers & 3) + 1;
  const std::size_t card_index = (readers >> 2) & 3;
  for (std::size_t i = 0; i < reader_count; ++i) {
    std::string name = fixed_name(i);
    if (i == card_index && (readers & 0x10)) name = in.text(in.u16() % 301);
    // Two readers of one name would be one reader to the stack.
    for (std::size_t j = 0; j < i; ++j)
      if (name == fixed_name(j)) name += "'";
    sim::add_reader(name);
    if (i == card_index) s.card_reader = name;
  }
  if (card_index < reader_count) {
    sim::insert_card(s.card_reader, make_card());
  } else {
    s.card_reader = fixed_name(0);  // a card put back goes into the first reader
  }
  if (flags & 0x20) sim::set_raw_reader_list(in.text(in.u16() % 301));

  const std::uint8_t event = in.byte() % 4;
  const std::size_t n = in.u16() % 4096, m = in.u16() % 4096;
  if (event == 1 || event == 3) s.pull_at = n;
  if (event == 2) s.unplug_at = n;
  if (event == 3) s.put_back_at = n + m;
  if (event != 0)
    sim::on_call([](const sim::Call&) {
      Script& sc = script();
      const std::size_t index = sim::calls().size() - 1;
      if (index == sc.pull_at) sim::remove_card(sc.card_reader);
      if (index == sc.unplug_at) sim::remove_reader(sc.card_reader);
      if (index == sc.put_back_at) sim::insert_card(sc.card_reader, make_card());
    });

  const int faults = in.byte() % 5;
  for (int i = 0; i < faults; ++i) {
    const char* fn = FAULT_FUNCTIONS[in.byte() % FAULT_FUNCTION_COUNT];
    const LONG code = ERROR_CODES[in.byte() % ERROR_COUNT];
    const int nth = in.u16() % 1024 + 1;
    const std::uint8_t times = in.byte();
    sim::fail(fn, nth, code, times == 255 ? 1000000 : times % 8 + 1);
  }
  return arg;
}

void dump_record() {
  const auto& log = sim::calls();
  std::fprintf(stderr, "call record (%zu calls):\n", log.size());
  for (std::size_t i = 0; i < log.size(); ++i) {
    const sim::Call& c = log[i];
    std::string sent;
    for (std::uint8_t b : c.sent) {
      char hex[3];
      std::snprintf(hex, sizeof hex, "%02X", b);
      sent += hex;
    }
    std::fprintf(stderr, "  %4zu %-22s ctx=%lx card=%lx value=%lx result=%08x %s\n", i, c.fn.c_str(),
                 static_cast<unsigned long>(c.context), static_cast<unsigned long>(c.card),
                 static_cast<unsigned long>(c.value), static_cast<unsigned>(c.result), sent.c_str());
  }
}

// What the program holds after an exchange: the receive area as written
// (the rest cleared) and the length it goes by, clamped to the area.
struct View {
  bool ok = false;
  DWORD length = 0;
  std::array<std::uint8_t, RECEIVE_AREA_SIZE> area{};
  // The selection rule: data with its status word, or a bare 61 xx; any
  // other status word, and an answer without one, is a refusal.
  bool accepted() const { return ok && (length > 2 || (length == 2 && area[0] == 0x61)); }
};

sim::Bytes from_digits(const std::string& text) {
  sim::Bytes out;
  for (std::size_t i = 0; i + 1 < text.size(); i += 2)
    out.push_back(static_cast<std::uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
  return out;
}

// The SELECT command the catalogue row's aid must give, built once for all
// rows: 00 A4 04 00, Lc, the aid's bytes, Le 00.
const sim::Bytes& select_command(const AidRecord* row) {
  static const std::vector<sim::Bytes> commands = [] {
    std::vector<sim::Bytes> all;
    for (const AidRecord* r = AidCatalogue; !r->aid.empty(); ++r) {
      sim::Bytes command{0x00, 0xA4, 0x04, 0x00, static_cast<std::uint8_t>((r->aid.size() / 2) & 0xFF)};
      const sim::Bytes data = from_digits(r->aid);
      command.insert(command.end(), data.begin(), data.end());
      command.push_back(0x00);
      all.push_back(std::move(command));
    }
    return all;
  }();
  return commands[static_cast<std::size_t>(row - AidCatalogue)];
}

// Checks the call record of one run.
class Checker {
 public:
  explicit Checker(bool stopped) : log_(sim::calls()), stopped_(stopped) {}

  void run() {
    SCARDCONTEXT open = 0;
    bool open_held = false;
    LONG last_wait = 1;  // no wait yet in this context
    bool reported = false;
    for (std::size_t i = 0; i < log_.size(); ++i) {
      const sim::Call& c = log_[i];
      // Nothing at all after the release that follows a printed report.
      FUZZ_CHECK(!reported, i);
      if (c.fn == "SCardEstablishContext") {
        FUZZ_CHECK(c.value == SCARD_SCOPE_USER, i);
        if (c.result == SCARD_S_SUCCESS) {
          // One context at a time: the previous one was released first.
          FUZZ_CHECK(!open_held, i);
          open = c.context;
          open_held = true;
          last_wait = 1;
        }
      } else if (c.fn == "SCardReleaseContext") {
        // Released once, and only the context in use.
        FUZZ_CHECK(open_held && c.context == open, i);
        open_held = false;
        if (session_reported_) reported = true;
      } else if (c.fn == "SCardListReaders" || c.fn == "SCardGetStatusChange" || c.fn == "SCardConnect") {
        FUZZ_CHECK(open_held && c.context == open, i);
        FUZZ_CHECK(!session_reported_, i);
        if (c.fn == "SCardGetStatusChange") last_wait = c.result;
        if (c.fn == "SCardConnect") {
          // A card is visited only after a wait that returned 0.
          FUZZ_CHECK(last_wait == SCARD_S_SUCCESS, i);
          FUZZ_CHECK(c.value == SCARD_SHARE_SHARED, i);
          FUZZ_CHECK(c.protocols == (SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1), i);
          if (c.result == SCARD_S_SUCCESS) i = session(i);
        }
      } else if (c.fn == "Sleep") {
        FUZZ_CHECK(!session_reported_, i);
      } else {
        // A card call outside the span of a connected handle.
        FUZZ_CHECK(false, i);
      }
    }
    if (!stopped_) {
      // The program returns only after a printed report, with every context
      // released.
      FUZZ_CHECK(session_reported_, log_.size());
      FUZZ_CHECK(!open_held, log_.size());
    }
  }

 private:
  // The next call of the session on card, or null at the end of the record,
  // which a stopped run may reach inside a session.
  const sim::Call* next(SCARDHANDLE card) {
    if (pos_ >= log_.size()) {
      FUZZ_CHECK(stopped_, pos_);
      return nullptr;
    }
    const sim::Call* c = &log_[pos_++];
    // While the card is connected, every call is on its handle.
    FUZZ_CHECK(c->card == card, pos_ - 1);
    return c;
  }

  View view(std::size_t index) {
    View v;
    const sim::Call& c = log_[index];
    if (c.result != SCARD_S_SUCCESS) return v;
    const auto& given = script().given;
    auto it = std::lower_bound(given.begin(), given.end(), index,
                               [](const std::pair<std::size_t, sim::Answer>& g, std::size_t i) { return g.first < i; });
    FUZZ_CHECK(it != given.end() && it->first == index, index);
    const sim::Answer& a = it->second;
    const std::size_t written = std::min<std::size_t>(a.bytes.size(), RECEIVE_AREA_SIZE);
    std::copy(a.bytes.begin(), a.bytes.begin() + static_cast<long>(written), v.area.begin());
    v.length = a.lie_about_length ? std::min<DWORD>(a.reported_length, RECEIVE_AREA_SIZE)
                                  : static_cast<DWORD>(a.bytes.size());
    v.ok = true;
    return v;
  }

  // A call that another program's reset failed (SCARD_W_RESET_CARD, or
  // SCARD_E_PROTO_MISMATCH for a reset half done) is
  // followed, while the session's allowance lasts, by a reconnect that
  // leaves the card as it is and, when that succeeds, by the same call
  // again, which again checks. Returns the call that stands, or null at the
  // end of the record.
  template <typename Again>
  const sim::Call* settle(SCARDHANDLE card, const sim::Call* c, Again again) {
    while ((c->result == SCARD_W_RESET_CARD || c->result == SCARD_E_PROTO_MISMATCH) && reconnects_left_ > 0) {
      --reconnects_left_;
      const sim::Call* r = next(card);
      if (r == nullptr) return nullptr;
      FUZZ_CHECK(r->fn == "SCardReconnect" && r->value == SCARD_LEAVE_CARD, pos_ - 1);
      FUZZ_CHECK(r->protocols == (SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1), pos_ - 1);
      if (r->result != SCARD_S_SUCCESS) return c;
      c = next(card);
      if (c == nullptr) return nullptr;
      again(c);
    }
    return c;
  }

  // The next call, which must be the exchange of command, after any resets.
  const sim::Call* transmit(SCARDHANDLE card, const sim::Bytes& command) {
    const sim::Call* c = next(card);
    if (c == nullptr) return nullptr;
    expect_transmit(c, command);
    return settle(card, c, [&](const sim::Call* again) { expect_transmit(again, command); });
  }

  void expect_transmit(const sim::Call* c, const sim::Bytes& command) {
    const std::size_t i = static_cast<std::size_t>(c - log_.data());
    FUZZ_CHECK(c->fn == "SCardTransmit", i);
    FUZZ_CHECK(c->sent == command, i);
    FUZZ_CHECK(c->receive_capacity == RECEIVE_AREA_SIZE, i);
    FUZZ_CHECK(!c->receive_pci, i);
    const SCARD_IO_REQUEST* pci = script().protocol == SCARD_PROTOCOL_T0 ? &g_rgSCardT0Pci : &g_rgSCardT1Pci;
    FUZZ_CHECK(c->pci == pci, i);
  }

  // A SELECT and, when the card accepted it, the GET RESPONSE with the second
  // byte of the answer. Returns false at the end of the record; accepted
  // tells whether the card took the application.
  bool select(SCARDHANDLE card, const AidRecord* row, bool& accepted) {
    const sim::Call* c = transmit(card, select_command(row));
    if (c == nullptr) return false;
    select_result_ = c->result;
    const View v = view(static_cast<std::size_t>(c - log_.data()));
    accepted = v.accepted();
    if (!accepted) return true;
    return transmit(card, sim::Bytes{0x00, 0xC0, 0x00, 0x00, v.area[1]}) != nullptr;
  }

  // Follows one session from its connect; returns the index of its
  // disconnect, or the end of the record.
  std::size_t session(std::size_t connect) {
    const SCARDHANDLE card = log_[connect].card;
    FUZZ_CHECK(card != 0, connect);
    pos_ = connect + 1;
    const std::size_t end = log_.size() - 1;
    reconnects_left_ = MAX_RESET_RECONNECTS;

    // The ATR of the card the handle reached.
    const sim::Call* status = next(card);
    if (status == nullptr) return end;
    FUZZ_CHECK(status->fn == "SCardStatus", pos_ - 1);
    if (settle(card, status, [&](const sim::Call* again) { FUZZ_CHECK(again->fn == "SCardStatus", pos_ - 1); }) ==
        nullptr)
      return end;

    // The scan: every catalogue row in order.
    std::vector<const AidRecord*> found;
    bool lost = false;
    for (const AidRecord* row = AidCatalogue; !row->aid.empty(); ++row) {
      bool accepted = false;
      if (!select(card, row, accepted)) return end;
      if (accepted) found.push_back(row);
      lost = lost || select_result_ != SCARD_S_SUCCESS;
    }
    // The serial read of each application found, in catalogue order.
    for (const AidRecord* row : found) {
      bool accepted = false;
      if (!select(card, row, accepted)) return end;
      const sim::Call* c = next(card);
      if (c == nullptr) return end;
      FUZZ_CHECK(c->fn == "SCardBeginTransaction", pos_ - 1);
      c = settle(card, c, [&](const sim::Call* again) { FUZZ_CHECK(again->fn == "SCardBeginTransaction", pos_ - 1); });
      if (c == nullptr) return end;
      if (c->result == SCARD_S_SUCCESS) {
        c = transmit(card, sim::Bytes{0x80, 0xCA, 0x9F, 0x7F, 0x00});
        if (c == nullptr) return end;
        const View v = view(static_cast<std::size_t>(c - log_.data()));
        if (v.ok && v.length == 2 && v.area[0] == 0x6C && v.area[1] != 0x00) {
          if (transmit(card, sim::Bytes{0x80, 0xCA, 0x9F, 0x7F, v.area[1]}) == nullptr) return end;
        }
      }
      // Every transaction (a refused one too) ends once, with a reset.
      c = next(card);
      if (c == nullptr) return end;
      FUZZ_CHECK(c->fn == "SCardEndTransaction" && c->value == SCARD_RESET_CARD, pos_ - 1);
      if (c->result == SCARD_S_SUCCESS || c->result == SCARD_W_RESET_CARD) {
        c = next(card);
        if (c == nullptr) return end;
        FUZZ_CHECK(c->fn == "SCardReconnect" && c->value == SCARD_LEAVE_CARD, pos_ - 1);
        FUZZ_CHECK(c->protocols == (SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1), pos_ - 1);
      }
    }
    // One disconnect, with a reset, and the handle is never used again: the
    // calls after it are checked as outside any session.
    const sim::Call* c = next(card);
    if (c == nullptr) return end;
    FUZZ_CHECK(c->fn == "SCardDisconnect" && c->value == SCARD_RESET_CARD, pos_ - 1);
    if (!found.empty()) session_reported_ = true;
    // A scan that lost its card or reader and found nothing is followed by
    // a pause, so that a card failing every exchange is not scanned in a
    // tight loop.
    if (found.empty() && lost && pos_ < log_.size()) {
      FUZZ_CHECK(log_[pos_].fn == "Sleep" && log_[pos_].value == RETRY_PAUSE_MS, pos_);
    }
    return pos_ - 1;
  }

  const std::vector<sim::Call>& log_;
  const bool stopped_;
  std::size_t pos_ = 0;
  bool session_reported_ = false;
  LONG select_result_ = SCARD_S_SUCCESS;
  int reconnects_left_ = MAX_RESET_RECONNECTS;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The report and traces are written (debug mode is chosen per input) but
  // not kept.
  if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  debug_mode = false;
  sim::reset();
  Script& s = script();
  s = Script{};
  s.in.reset(data, size);
  const std::pair<bool, std::string> arg = set_up(s);
  sim::stop_at(RUN_MS);
  sim::stop_after_calls(RUN_CALLS);

  std::string arg0 = "quillon", arg1 = arg.second;
  char* argv[] = {&arg0[0], arg.first ? &arg1[0] : nullptr, nullptr};
  int status = -1;
  const bool stopped = sim::run_until_stop([&] { status = quillon_main(arg.first ? 2 : 1, argv); });
  FUZZ_CHECK(stopped || status == 0, sim::calls().size());

  Checker(stopped).run();
  // For triage: QUILLON_FUZZ_RECORD=1 prints how each run ended and its calls.
  if (std::getenv("QUILLON_FUZZ_RECORD") != nullptr) {
    std::fprintf(stderr, "%s after %zu calls at %llu ms\n", stopped ? "stopped" : "returned", sim::calls().size(),
                 static_cast<unsigned long long>(sim::now_ms()));
    dump_record();
  }

  // Drop the card, whose answers refer to this input.
  sim::reset();
  s = Script{};
  return 0;
}
