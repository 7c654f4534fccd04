#include "tests/sim/sim_pcsc.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <utility>

// The PC/SC protocol control blocks, as pcsc-lite exports them: const there,
// not const in the PCSC framework, so each takes the type its header declares.
decltype(g_rgSCardT0Pci) g_rgSCardT0Pci = {SCARD_PROTOCOL_T0, sizeof(SCARD_IO_REQUEST)};
decltype(g_rgSCardT1Pci) g_rgSCardT1Pci = {SCARD_PROTOCOL_T1, sizeof(SCARD_IO_REQUEST)};
decltype(g_rgSCardRawPci) g_rgSCardRawPci = {SCARD_PROTOCOL_RAW, sizeof(SCARD_IO_REQUEST)};

namespace sim {
namespace {

struct Reader {
  std::string name;
  std::uint64_t id = 0;        // one per add_reader: a reader back under its old name is another
  bool has_card = false;
  Card card;
  std::uint64_t card_id = 0;   // changes with every insertion
  DWORD events = 0;            // insertion/removal counter, in the upper 16 bits of a state
  DWORD extra_bits = 0;
};

struct Handle {
  SCARDCONTEXT context = 0;
  std::string reader;
  std::uint64_t reader_id = 0;
  std::uint64_t card_id = 0;
  DWORD protocol = 0;
  bool in_transaction = false;
  bool reset_seen = false;  // the card was reset since this handle last connected
};

struct Fault {
  std::string fn;
  int first = 0;
  int last = 0;
  LONG code = 0;
};

struct TimedFault {
  std::string fn;
  std::uint64_t until = 0;
  LONG code = 0;
};

struct World {
  std::vector<Reader> readers;
  std::map<SCARDCONTEXT, bool> contexts;
  std::map<SCARDHANDLE, Handle> handles;
  std::vector<Fault> faults;
  std::vector<TimedFault> timed_faults;
  std::multimap<std::uint64_t, std::function<void()>> events;
  std::function<void(const Call&)> hook;
  std::map<std::string, int> counts;
  std::vector<Call> log;
  std::uint64_t clock = 0;
  std::uint64_t stop_ms = UINT64_MAX;
  std::size_t max_calls = 1000000;
  std::uint64_t next_card_id = 1;
  std::uint64_t next_reader_id = 1;
  SCARDCONTEXT next_context = 0x1000;
  SCARDHANDLE next_handle = 0x2000;
  bool service = true;
  std::string raw_list;
  UnknownReader unknown_reader = UnknownReader::pcsc_lite;
};

World& world() {
  static World w;
  return w;
}

Reader* find_reader(const std::string& name) {
  for (Reader& r : world().readers)
    if (r.name == name) return &r;
  return nullptr;
}

void fire_due_events() {
  World& w = world();
  while (!w.events.empty() && w.events.begin()->first <= w.clock) {
    auto event = std::move(w.events.begin()->second);
    w.events.erase(w.events.begin());
    event();
  }
}

// Lets virtual time pass up to target, running the events on the way.
void advance_to(std::uint64_t target) {
  World& w = world();
  while (!w.events.empty() && w.events.begin()->first <= target) {
    w.clock = std::max(w.clock, w.events.begin()->first);
    fire_due_events();
  }
  w.clock = std::max(w.clock, target);
}

// Opens the record of a call and applies the stop guards, the hook and the
// faults. Returns the index of the record; fault is set when the call fails
// before doing anything.
std::size_t enter(Call call, LONG& fault) {
  World& w = world();
  fire_due_events();
  if (w.clock >= w.stop_ms || w.log.size() >= w.max_calls) throw Stop{};
  call.at_ms = w.clock;
  w.log.push_back(call);
  const std::size_t index = w.log.size() - 1;
  if (w.hook) w.hook(w.log[index]);
  const int n = ++w.counts[call.fn];
  fault = SCARD_S_SUCCESS;
  for (const Fault& f : w.faults)
    if (f.fn == call.fn && n >= f.first && n <= f.last) fault = f.code;
  if (fault == SCARD_S_SUCCESS)
    for (const TimedFault& f : w.timed_faults)
      if (f.fn == call.fn && w.clock < f.until) fault = f.code;
  if (fault == SCARD_S_SUCCESS && !w.service && call.fn != "Sleep") fault = SCARD_E_NO_SERVICE;
  w.log[index].result = fault;
  return index;
}

LONG leave(std::size_t index, LONG result) {
  world().log[index].result = result;
  return result;
}

bool valid_context(SCARDCONTEXT context) { return world().contexts.count(context) != 0; }

// The state pcsc-lite would report for a reader entry.
DWORD actual_state(const std::string& name, const Reader*& reader) {
  reader = find_reader(name);
  if (reader == nullptr) return SCARD_STATE_UNKNOWN | SCARD_STATE_CHANGED | SCARD_STATE_IGNORE;
  const DWORD bits = (reader->has_card ? SCARD_STATE_PRESENT : SCARD_STATE_EMPTY) | reader->extra_bits;
  return (reader->events << 16) | bits;
}

bool evaluate(SCARD_READERSTATE* states, DWORD count) {
  bool changed = false;
  for (DWORD i = 0; i < count; ++i) {
    const Reader* reader = nullptr;
    const DWORD state = actual_state(states[i].szReader != nullptr ? states[i].szReader : "", reader);
    const bool differs = (states[i].dwCurrentState & ~static_cast<DWORD>(SCARD_STATE_CHANGED)) !=
                         (state & ~static_cast<DWORD>(SCARD_STATE_CHANGED));
    states[i].dwEventState = differs ? (state | SCARD_STATE_CHANGED) : state;
    if (reader != nullptr && reader->has_card) {
      const std::size_t n = std::min<std::size_t>(reader->card.atr.size(), MAX_ATR_SIZE);
      states[i].cbAtr = static_cast<DWORD>(n);
      if (n > 0) std::memcpy(states[i].rgbAtr, reader->card.atr.data(), n);
    } else {
      states[i].cbAtr = 0;
    }
    changed = changed || differs;
  }
  return changed;
}

// The reader a handle was connected through, or null once that reader is
// gone, even if another has come under its name.
Reader* reader_of(const Handle& handle) {
  Reader* reader = find_reader(handle.reader);
  return reader != nullptr && reader->id == handle.reader_id ? reader : nullptr;
}

// A handle whose card is still the one it was connected to. pcsc-lite keeps
// a reader's handles with the reader: once it is gone, a call on one of them
// finds no reader for it and answers SCARD_E_INVALID_VALUE.
LONG check_handle(SCARDHANDLE card, Handle*& handle) {
  World& w = world();
  auto it = w.handles.find(card);
  if (it == w.handles.end()) return SCARD_E_INVALID_HANDLE;
  handle = &it->second;
  const Reader* reader = reader_of(*handle);
  if (reader == nullptr) return SCARD_E_INVALID_VALUE;
  if (!reader->has_card || reader->card_id != handle->card_id) return SCARD_W_REMOVED_CARD;
  if (handle->reset_seen) return SCARD_W_RESET_CARD;
  return SCARD_S_SUCCESS;
}

// A reset is seen by every handle on the card, the one that asked for it
// included: as pcsc-lite does, each answers SCARD_W_RESET_CARD until it is
// reconnected.
void reset_card(const Handle& handle) {
  Reader* reader = reader_of(handle);
  if (reader == nullptr || !reader->has_card || reader->card_id != handle.card_id) return;
  for (auto& other : world().handles)
    if (other.second.reader == handle.reader && other.second.card_id == handle.card_id) other.second.reset_seen = true;
  if (reader->card.on_reset) reader->card.on_reset();
}

// Opens the record of a call on a card handle and checks the handle, as
// every call that reaches the card does: SCARD_S_SUCCESS with handle set,
// or the fault or the handle's own answer, recorded as the call's result.
LONG enter_on_card(const Call& call, std::size_t& index, Handle*& handle) {
  LONG fault;
  index = enter(call, fault);
  if (fault != SCARD_S_SUCCESS) return fault;
  return leave(index, check_handle(call.card, handle));
}

}  // namespace

void reset() { world() = World(); }

void add_reader(const std::string& name) {
  Reader reader;
  reader.name = name;
  reader.id = world().next_reader_id++;
  world().readers.push_back(std::move(reader));
}

void set_state_bits(const std::string& name, DWORD bits) {
  Reader* reader = find_reader(name);
  if (reader != nullptr) reader->extra_bits = bits;
}

void remove_reader(const std::string& name) {
  auto& readers = world().readers;
  readers.erase(std::remove_if(readers.begin(), readers.end(), [&](const Reader& r) { return r.name == name; }),
                readers.end());
}

void insert_card(const std::string& name, Card card) {
  Reader* reader = find_reader(name);
  if (reader == nullptr) return;
  reader->has_card = true;
  reader->card = std::move(card);
  reader->card_id = world().next_card_id++;
  reader->events = (reader->events + 1) & 0xFFFF;
}

void remove_card(const std::string& name) {
  Reader* reader = find_reader(name);
  if (reader == nullptr || !reader->has_card) return;
  reader->has_card = false;
  reader->card = Card{};
  reader->events = (reader->events + 1) & 0xFFFF;
}

void set_raw_reader_list(const std::string& bytes) { world().raw_list = bytes; }
void answer_unknown_reader(UnknownReader answer) { world().unknown_reader = answer; }

void set_service(bool running) {
  World& w = world();
  w.service = running;
  if (!running) w.contexts.clear();
}

void fail(const std::string& fn, int nth, LONG code, int times) {
  world().faults.push_back(Fault{fn, nth, nth + times - 1, code});
}

void fail_until(const std::string& fn, std::uint64_t until_ms, LONG code) {
  world().timed_faults.push_back(TimedFault{fn, until_ms, code});
}

void at(std::uint64_t ms, std::function<void()> event) { world().events.emplace(ms, std::move(event)); }
void on_call(std::function<void(const Call&)> hook) { world().hook = std::move(hook); }
void stop_at(std::uint64_t ms) { world().stop_ms = ms; }
void stop_after_calls(std::size_t calls) { world().max_calls = calls; }
std::uint64_t now_ms() { return world().clock; }
const std::vector<Call>& calls() { return world().log; }

std::vector<Call> calls_of(const std::string& fn) {
  std::vector<Call> out;
  for (const Call& c : world().log)
    if (c.fn == fn) out.push_back(c);
  return out;
}

int count(const std::string& fn) {
  auto it = world().counts.find(fn);
  return it == world().counts.end() ? 0 : it->second;
}

std::vector<std::string> sequence() {
  std::vector<std::string> out;
  for (const Call& c : world().log) out.push_back(c.fn);
  return out;
}

bool run_until_stop(const std::function<void()>& body) {
  try {
    body();
  } catch (const Stop&) {
    return true;
  }
  return false;
}

namespace {
// Successful calls of open_fn less the calls of close_fn, counted from the
// record: a context dropped by a service stop still counts as open until
// the caller releases it, so that a leak shows.
int balance(const std::string& open_fn, const std::string& close_fn) {
  int opened = 0, closed = 0;
  for (const Call& c : world().log) {
    if (c.fn == open_fn && c.result == SCARD_S_SUCCESS) ++opened;
    if (c.fn == close_fn) ++closed;
  }
  return opened - closed;
}
}  // namespace

int open_contexts() { return balance("SCardEstablishContext", "SCardReleaseContext"); }
int open_cards() { return balance("SCardConnect", "SCardDisconnect"); }
int open_transactions() { return balance("SCardBeginTransaction", "SCardEndTransaction"); }

Card card_answering(Bytes atr, DWORD protocol, std::function<Bytes(const Bytes&)> answer) {
  Card card;
  card.atr = std::move(atr);
  card.protocol = protocol;
  card.respond = [answer = std::move(answer)](const Bytes& command) { return Answer{answer(command)}; };
  return card;
}

}  // namespace sim

using sim::Call;

LONG SCardEstablishContext(DWORD dwScope, LPCVOID, LPCVOID, LPSCARDCONTEXT phContext) {
  Call call;
  call.fn = "SCardEstablishContext";
  call.value = dwScope;
  LONG fault;
  const std::size_t index = sim::enter(call, fault);
  if (fault != SCARD_S_SUCCESS) return fault;
  auto& w = sim::world();
  const SCARDCONTEXT context = w.next_context++;
  w.contexts[context] = true;
  *phContext = context;
  w.log[index].context = context;
  return sim::leave(index, SCARD_S_SUCCESS);
}

LONG SCardReleaseContext(SCARDCONTEXT hContext) {
  Call call;
  call.fn = "SCardReleaseContext";
  call.context = hContext;
  LONG fault;
  const std::size_t index = sim::enter(call, fault);
  if (fault != SCARD_S_SUCCESS) return fault;
  auto& w = sim::world();
  if (w.contexts.erase(hContext) == 0) return sim::leave(index, SCARD_E_INVALID_HANDLE);
  return sim::leave(index, SCARD_S_SUCCESS);
}

LONG SCardListReaders(SCARDCONTEXT hContext, LPCSTR, LPSTR mszReaders, LPDWORD pcchReaders) {
  Call call;
  call.fn = "SCardListReaders";
  call.context = hContext;
  call.with_buffer = mszReaders != nullptr;
  LONG fault;
  const std::size_t index = sim::enter(call, fault);
  if (fault != SCARD_S_SUCCESS) return fault;
  if (!sim::valid_context(hContext)) return sim::leave(index, SCARD_E_INVALID_HANDLE);
  const auto& readers = sim::world().readers;
  if (readers.empty()) return sim::leave(index, SCARD_E_NO_READERS_AVAILABLE);
  std::string list;
  for (const auto& r : readers) {
    list += r.name;
    list.push_back('\0');
  }
  list.push_back('\0');
  if (!sim::world().raw_list.empty()) list = sim::world().raw_list;
  const DWORD needed = static_cast<DWORD>(list.size());
  if (mszReaders != nullptr) {
    if (*pcchReaders < needed) {
      *pcchReaders = needed;
      return sim::leave(index, SCARD_E_INSUFFICIENT_BUFFER);
    }
    std::memcpy(mszReaders, list.data(), list.size());
  }
  *pcchReaders = needed;
  return sim::leave(index, SCARD_S_SUCCESS);
}

LONG SCardGetStatusChange(SCARDCONTEXT hContext, DWORD dwTimeout, SCARD_READERSTATE* rgReaderStates,
                          DWORD cReaders) {
  Call call;
  call.fn = "SCardGetStatusChange";
  call.context = hContext;
  call.value = dwTimeout;
  call.protocols = cReaders;
  for (DWORD i = 0; i < cReaders; ++i)
    call.states.emplace_back(rgReaderStates[i].szReader != nullptr ? rgReaderStates[i].szReader : "",
                             rgReaderStates[i].dwCurrentState);
  LONG fault;
  const std::size_t index = sim::enter(call, fault);
  if (fault != SCARD_S_SUCCESS) return fault;
  if (!sim::valid_context(hContext)) return sim::leave(index, SCARD_E_INVALID_HANDLE);
  auto& w = sim::world();
  if (cReaders == 0) return sim::leave(index, SCARD_S_SUCCESS);
  if (w.unknown_reader == sim::UnknownReader::pcsc_lite)
    for (DWORD i = 0; i < cReaders; ++i)
      if (rgReaderStates[i].szReader == nullptr || sim::find_reader(rgReaderStates[i].szReader) == nullptr)
        return sim::leave(index, SCARD_E_UNKNOWN_READER);
  const std::uint64_t deadline = dwTimeout == INFINITE ? UINT64_MAX : w.clock + dwTimeout;
  for (;;) {
    if (!w.service) return sim::leave(index, SCARD_E_NO_SERVICE);
    if (sim::evaluate(rgReaderStates, cReaders)) return sim::leave(index, SCARD_S_SUCCESS);
    // Nothing changed: let time pass to the next event, or to the timeout.
    if (!w.events.empty() && w.events.begin()->first <= deadline) {
      sim::advance_to(w.events.begin()->first);
      continue;
    }
    if (deadline == UINT64_MAX) throw sim::Stop{};  // would wait forever
    sim::advance_to(deadline);
    return sim::leave(index, SCARD_E_TIMEOUT);
  }
}

LONG SCardConnect(SCARDCONTEXT hContext, LPCSTR szReader, DWORD dwShareMode, DWORD dwPreferredProtocols,
                  LPSCARDHANDLE phCard, LPDWORD pdwActiveProtocol) {
  Call call;
  call.fn = "SCardConnect";
  call.context = hContext;
  call.value = dwShareMode;
  call.protocols = dwPreferredProtocols;
  call.reader = szReader != nullptr ? szReader : "";
  LONG fault;
  const std::size_t index = sim::enter(call, fault);
  if (fault != SCARD_S_SUCCESS) return fault;
  if (!sim::valid_context(hContext)) return sim::leave(index, SCARD_E_INVALID_HANDLE);
  auto& w = sim::world();
  const auto* reader = sim::find_reader(call.reader);
  if (reader == nullptr) return sim::leave(index, SCARD_E_UNKNOWN_READER);
  if (!reader->has_card) return sim::leave(index, SCARD_E_NO_SMARTCARD);
  if ((dwPreferredProtocols & reader->card.protocol) == 0) return sim::leave(index, SCARD_E_PROTO_MISMATCH);
  const SCARDHANDLE card = w.next_handle++;
  w.handles[card] = sim::Handle{hContext, reader->name, reader->id, reader->card_id, reader->card.protocol, false};
  *phCard = card;
  *pdwActiveProtocol = reader->card.protocol;
  w.log[index].card = card;
  return sim::leave(index, SCARD_S_SUCCESS);
}

LONG SCardDisconnect(SCARDHANDLE hCard, DWORD dwDisposition) {
  Call call;
  call.fn = "SCardDisconnect";
  call.card = hCard;
  call.value = dwDisposition;
  LONG fault;
  const std::size_t index = sim::enter(call, fault);
  if (fault != SCARD_S_SUCCESS) return fault;
  auto& w = sim::world();
  auto it = w.handles.find(hCard);
  if (it == w.handles.end()) return sim::leave(index, SCARD_E_INVALID_HANDLE);
  if (dwDisposition == SCARD_RESET_CARD) sim::reset_card(it->second);
  w.handles.erase(it);
  return sim::leave(index, SCARD_S_SUCCESS);
}

LONG SCardReconnect(SCARDHANDLE hCard, DWORD dwShareMode, DWORD dwPreferredProtocols, DWORD dwInitialization,
                    LPDWORD pdwActiveProtocol) {
  Call call;
  call.fn = "SCardReconnect";
  call.card = hCard;
  call.value = dwInitialization;
  call.protocols = dwPreferredProtocols;
  LONG fault;
  const std::size_t index = sim::enter(call, fault);
  if (fault != SCARD_S_SUCCESS) return fault;
  (void)dwShareMode;
  sim::Handle* handle = nullptr;
  const LONG checked = sim::check_handle(hCard, handle);
  if (checked != SCARD_S_SUCCESS && checked != static_cast<LONG>(SCARD_W_RESET_CARD)) return sim::leave(index, checked);
  handle->reset_seen = false;
  if (dwInitialization == SCARD_RESET_CARD || dwInitialization == SCARD_UNPOWER_CARD) {
    sim::reset_card(*handle);
    handle->reset_seen = false;
  }
  if (pdwActiveProtocol != nullptr) *pdwActiveProtocol = handle->protocol;
  return sim::leave(index, SCARD_S_SUCCESS);
}

// The handle's own card, as pcsc-lite answers: a reset or removal since the
// connect is reported instead of the state, and the ATR is the one of the
// card in the reader now, which is the handle's.
LONG SCardStatus(SCARDHANDLE hCard, LPSTR szReaderName, LPDWORD pcchReaderLen, LPDWORD pdwState, LPDWORD pdwProtocol,
                 LPBYTE pbAtr, LPDWORD pcbAtrLen) {
  Call call;
  call.fn = "SCardStatus";
  call.card = hCard;
  std::size_t index = 0;
  sim::Handle* handle = nullptr;
  const LONG checked = sim::enter_on_card(call, index, handle);
  if (checked != SCARD_S_SUCCESS) return checked;
  const sim::Reader* reader = sim::reader_of(*handle);
  const sim::Bytes& atr = reader->card.atr;
  const DWORD name_needed = static_cast<DWORD>(reader->name.size() + 1);
  const DWORD atr_needed = static_cast<DWORD>(std::min<std::size_t>(atr.size(), MAX_ATR_SIZE));
  LONG result = SCARD_S_SUCCESS;
  if (szReaderName != nullptr) {
    if (pcchReaderLen == nullptr || *pcchReaderLen < name_needed) result = SCARD_E_INSUFFICIENT_BUFFER;
    else std::memcpy(szReaderName, reader->name.c_str(), name_needed);
  }
  if (pcchReaderLen != nullptr) *pcchReaderLen = name_needed;
  if (pbAtr != nullptr) {
    if (pcbAtrLen == nullptr || *pcbAtrLen < atr_needed) result = SCARD_E_INSUFFICIENT_BUFFER;
    else if (atr_needed > 0) std::memcpy(pbAtr, atr.data(), atr_needed);
  }
  if (pcbAtrLen != nullptr) *pcbAtrLen = atr_needed;
  if (pdwState != nullptr) *pdwState = (reader->events << 16) | SCARD_STATE_PRESENT;
  if (pdwProtocol != nullptr) *pdwProtocol = handle->protocol;
  return sim::leave(index, result);
}

LONG SCardBeginTransaction(SCARDHANDLE hCard) {
  Call call;
  call.fn = "SCardBeginTransaction";
  call.card = hCard;
  std::size_t index = 0;
  sim::Handle* handle = nullptr;
  const LONG checked = sim::enter_on_card(call, index, handle);
  if (checked != SCARD_S_SUCCESS) return checked;
  handle->in_transaction = true;
  return sim::leave(index, SCARD_S_SUCCESS);
}

LONG SCardEndTransaction(SCARDHANDLE hCard, DWORD dwDisposition) {
  Call call;
  call.fn = "SCardEndTransaction";
  call.card = hCard;
  call.value = dwDisposition;
  LONG fault;
  const std::size_t index = sim::enter(call, fault);
  if (fault != SCARD_S_SUCCESS) return fault;
  sim::Handle* handle = nullptr;
  const LONG checked = sim::check_handle(hCard, handle);
  if (checked != SCARD_S_SUCCESS) {
    if (handle != nullptr) handle->in_transaction = false;
    return sim::leave(index, checked);
  }
  if (!handle->in_transaction) return sim::leave(index, SCARD_E_NOT_TRANSACTED);
  handle->in_transaction = false;
  if (dwDisposition == SCARD_RESET_CARD) sim::reset_card(*handle);
  return sim::leave(index, SCARD_S_SUCCESS);
}

LONG SCardTransmit(SCARDHANDLE hCard, const SCARD_IO_REQUEST* pioSendPci, LPCBYTE pbSendBuffer, DWORD cbSendLength,
                   SCARD_IO_REQUEST* pioRecvPci, LPBYTE pbRecvBuffer, LPDWORD pcbRecvLength) {
  Call call;
  call.fn = "SCardTransmit";
  call.card = hCard;
  call.pci = pioSendPci;
  call.receive_pci = pioRecvPci != nullptr;
  call.receive_capacity = pcbRecvLength != nullptr ? *pcbRecvLength : 0;
  call.sent.assign(pbSendBuffer, pbSendBuffer + cbSendLength);
  std::size_t index = 0;
  sim::Handle* handle = nullptr;
  const LONG checked = sim::enter_on_card(call, index, handle);
  if (checked != SCARD_S_SUCCESS) return checked;
  if (pioSendPci == nullptr || pioSendPci->dwProtocol != handle->protocol)
    return sim::leave(index, SCARD_E_PROTO_MISMATCH);
  // A copy: the responder may take its own card out of the reader.
  const sim::Responder respond = sim::reader_of(*handle)->card.respond;
  sim::Answer answer = respond ? respond(call.sent) : sim::Answer{{0x6D, 0x00}};
  if (answer.result != SCARD_S_SUCCESS) return sim::leave(index, answer.result);
  if (answer.lie_about_length) {
    const std::size_t n = std::min<std::size_t>(answer.bytes.size(), *pcbRecvLength);
    if (n > 0) std::memcpy(pbRecvBuffer, answer.bytes.data(), n);
    *pcbRecvLength = answer.reported_length;
    return sim::leave(index, SCARD_S_SUCCESS);
  }
  if (answer.bytes.size() > *pcbRecvLength) {
    *pcbRecvLength = static_cast<DWORD>(answer.bytes.size());
    return sim::leave(index, SCARD_E_INSUFFICIENT_BUFFER);
  }
  if (!answer.bytes.empty()) std::memcpy(pbRecvBuffer, answer.bytes.data(), answer.bytes.size());
  *pcbRecvLength = static_cast<DWORD>(answer.bytes.size());
  return sim::leave(index, SCARD_S_SUCCESS);
}

// The virtual clock behind the program's pauses.
void Sleep(DWORD dwMilliseconds) {
  Call call;
  call.fn = "Sleep";
  call.value = dwMilliseconds;
  LONG fault;
  const std::size_t index = sim::enter(call, fault);
  sim::advance_to(sim::world().clock + dwMilliseconds);
  sim::leave(index, SCARD_S_SUCCESS);
}
