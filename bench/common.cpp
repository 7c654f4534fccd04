#include "bench/common.h"

#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <iostream>

#include "apdu/transmit.h"
#include "catalogue/scan.h"
#include "monitor/monitor.h"
#include "tests/support.h"

namespace bench {
namespace {

const char READER[] = "Bench Reader 0";
const WCHAR READER_WIDE[] = u"Bench Reader 0";
const char ATR_HEX[] = "3B8880010000000000000000";

// The index in the simulator's record where the calls after the set-up start.
std::size_t record_mark() { return sim::calls().size(); }

std::vector<sim::Call> calls_since(std::size_t mark) {
  const auto& all = sim::calls();
  return std::vector<sim::Call>(all.begin() + static_cast<std::ptrdiff_t>(mark), all.end());
}

}  // namespace

const std::set<std::string>& accepted_aids(CardKind kind) {
  static const std::set<std::string> none;
  // A payment application and an OpenPGP one, far apart in the catalogue.
  static const std::set<std::string> two{"A0000000031010", "D27600012401"};
  return kind == CardKind::no_app ? none : two;
}

void fresh_world(CardKind kind, bool debug, World& world) {
  support::fresh_start(debug);
  sim::add_reader(READER);
  const sim::Bytes atr = support::bytes(ATR_HEX);
  sim::insert_card(READER, support::application_card(accepted_aids(kind), "1122334455667788", SCARD_PROTOCOL_T1, atr));
  world.context = 0;
  SCardEstablishContext(SCARD_SCOPE_USER, nullptr, nullptr, &world.context);
  world.entry = SCARD_READERSTATEW{};
  world.entry.szReader = READER_WIDE;
  world.entry.dwCurrentState = SCARD_STATE_EMPTY;
  world.entry.dwEventState = SCARD_STATE_PRESENT | SCARD_STATE_CHANGED;
  world.entry.cbAtr = static_cast<DWORD>(atr.size());
  std::memcpy(world.entry.rgbAtr, atr.data(), atr.size());
}

SCARDHANDLE connect(const World& world, DWORD& protocol) {
  SCARDHANDLE card = 0;
  protocol = 0;
  if (SCardConnect(world.context, READER, SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &card,
                   &protocol) != SCARD_S_SUCCESS)
    return 0;
  return card;
}

std::vector<sim::Call> record_session(CardKind kind) {
  World world;
  fresh_world(kind, false, world);
  const std::size_t mark = record_mark();
  {
    StdoutToNull quiet;
    run_card_session(world.context, world.entry);
  }
  return calls_since(mark);
}

std::vector<sim::Call> record_scan(CardKind kind) {
  World world;
  fresh_world(kind, false, world);
  DWORD protocol = 0;
  const SCARDHANDLE card = connect(world, protocol);
  const std::size_t mark = record_mark();
  {
    StdoutToNull quiet;
    FoundAidList found;
    scan_catalogue(found, card, protocol);
  }
  return calls_since(mark);
}

Replay prepare(const std::vector<sim::Call>& calls) {
  Replay out;
  for (const sim::Call& call : calls) {
    Step step;
    step.value = call.value;
    step.protocols = call.protocols;
    step.result = call.result;
    if (call.fn == "SCardTransmit") {
      step.fn = Step::Fn::transmit;
      step.pci = call.pci;
      step.capacity = call.receive_capacity;
      step.sent = out.bytes.size();
      step.length = call.sent.size();
      out.bytes.insert(out.bytes.end(), call.sent.begin(), call.sent.end());
      ++out.commands;
    } else if (call.fn == "SCardConnect") {
      step.fn = Step::Fn::connect;
      out.reader = call.reader;
    } else if (call.fn == "SCardStatus") {
      step.fn = Step::Fn::status;
    } else if (call.fn == "SCardBeginTransaction") {
      step.fn = Step::Fn::begin;
    } else if (call.fn == "SCardEndTransaction") {
      step.fn = Step::Fn::end;
    } else if (call.fn == "SCardReconnect") {
      step.fn = Step::Fn::reconnect;
    } else if (call.fn == "SCardDisconnect") {
      step.fn = Step::Fn::disconnect;
    } else {
      ++out.unknown;
      continue;
    }
    out.steps.push_back(step);
  }
  return out;
}

std::size_t replay(const Replay& record, SCARDCONTEXT context, SCARDHANDLE card) {
  std::size_t differing = 0;
  std::uint8_t receive[RECEIVE_AREA_SIZE];
  for (const Step& step : record.steps) {
    LONG result = SCARD_S_SUCCESS;
    DWORD protocol = 0;
    switch (step.fn) {
      case Step::Fn::transmit: {
        DWORD length = step.capacity;
        result = SCardTransmit(card, step.pci, record.bytes.data() + step.sent, static_cast<DWORD>(step.length),
                               nullptr, receive, &length);
        break;
      }
      case Step::Fn::connect:
        result = SCardConnect(context, record.reader.c_str(), step.value, step.protocols, &card, &protocol);
        break;
      case Step::Fn::status: {
        std::uint8_t atr[36];
        DWORD atr_length = sizeof atr;
        result = read_card_atr(card, atr, atr_length);
        break;
      }
      case Step::Fn::begin:
        result = SCardBeginTransaction(card);
        break;
      case Step::Fn::end:
        result = SCardEndTransaction(card, step.value);
        break;
      case Step::Fn::reconnect:
        result = SCardReconnect(card, SCARD_SHARE_SHARED, step.protocols, step.value, &protocol);
        break;
      case Step::Fn::disconnect:
        result = SCardDisconnect(card, step.value);
        break;
    }
    if (result != step.result) ++differing;
  }
  return differing;
}

void keep_heap() {
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
  mallopt(M_MMAP_THRESHOLD, 256 << 20);
}

StdoutToNull::StdoutToNull() {
  std::cout.flush();
  std::fflush(stdout);
  saved_ = dup(STDOUT_FILENO);
  const int null = open("/dev/null", O_WRONLY);
  if (null >= 0) {
    dup2(null, STDOUT_FILENO);
    close(null);
  }
}

StdoutToNull::~StdoutToNull() {
  std::fflush(stdout);
  if (saved_ >= 0) {
    dup2(saved_, STDOUT_FILENO);
    close(saved_);
  }
}

}  // namespace bench
