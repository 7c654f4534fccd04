#include "apdu/select.h"

#include "app/console.h"
#include "apdu/transmit.h"

LONG select_aid(DWORD& receive_length, SCARDHANDLE card, DWORD protocol, const HexString& aid,
                std::uint8_t* receive) {
  // Header, Lc, the AID's bytes and Le, decoded into one buffer sized up
  // front: a single allocation per SELECT, as the scan sends 255 of them.
  // Lc comes from the length of the text; the catalogue's texts are whole
  // digit pairs.
  static const char HEADER[] = "00a40400";
  ByteBuffer command;
  command.reserve(4 + 1 + aid.size() / 2 + 1);
  append_hex(command, HEADER, sizeof HEADER - 1);
  command.push_back(static_cast<std::uint8_t>((aid.size() >> 1) & 0xFF));
  append_hex(command, aid.data(), aid.size());
  command.push_back(0x00);
  if (debug_mode) console_log(0, "send: '%s' ", to_hex(command).c_str());
  return transmit_apdu(command, receive, receive_length, card, protocol);
}

bool select_accepted(const std::uint8_t* receive, DWORD receive_length) {
  // Without its two status bytes an answer says nothing about the
  // application: the PC/SC stack hands on an empty or cut answer when the
  // card or the service goes away in the middle of the exchange.
  if (receive_length < 2) return false;
  return receive_length > 2 || receive[0] == 0x61;
}

void read_response(std::uint8_t le, std::uint8_t* receive, DWORD& receive_length, SCARDHANDLE card,
                   DWORD protocol) {
  static const char HEADER[] = "00C00000";
  ByteBuffer command;
  command.reserve(5);
  append_hex(command, HEADER, sizeof HEADER - 1);
  command.push_back(le);
  receive_length = RECEIVE_AREA_SIZE;
  if (debug_mode) console_log(0, "send: '%s' (read_response)", to_hex(command).c_str());
  transmit_apdu(command, receive, receive_length, card, protocol);
}

bool try_select(const HexString& aid, std::uint8_t* receive, DWORD& receive_length, SCARDHANDLE card,
                DWORD protocol, LONG* exchange) {
  receive_length = RECEIVE_AREA_SIZE;
  const LONG result = select_aid(receive_length, card, protocol, aid, receive);
  if (exchange != nullptr) *exchange = result;
  if (result != SCARD_S_SUCCESS) {
    console_log(0, "failed to select AID (transmit failed): '%x'", pcsc_code(result));
    return false;
  }
  if (!select_accepted(receive, receive_length)) {
    // The status word, or as much of the answer as came.
    const DWORD shown = receive_length < 2 ? receive_length : 2;
    if (debug_mode) console_log(0, "failed to select AID: '%s' : %s", aid.c_str(), to_hex(receive, shown).c_str());
    return false;
  }
  console_log(0, "AID '%s' selected", aid.c_str());
  read_response(receive[1], receive, receive_length, card, protocol);
  return true;
}

void select_aid_from_list(const std::vector<HexString>& aids, SCARDHANDLE card, DWORD protocol) {
  std::uint8_t receive[RECEIVE_AREA_SIZE];
  DWORD receive_length = RECEIVE_AREA_SIZE;
  for (const HexString& aid : aids) {
    if (try_select(aid, receive, receive_length, card, protocol)) return;
  }
}
