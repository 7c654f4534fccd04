#include "apdu/transmit.h"

#include <cstring>

#include "app/console.h"

namespace {
int reconnects_left = MAX_RESET_RECONNECTS;
}  // namespace

void allow_reset_reconnects() { reconnects_left = MAX_RESET_RECONNECTS; }

bool reconnect_after_reset(LONG result, SCARDHANDLE card) {
  const bool reset = result == static_cast<LONG>(SCARD_W_RESET_CARD) ||
                     result == static_cast<LONG>(SCARD_E_PROTO_MISMATCH);
  if (!reset || reconnects_left <= 0) return false;
  --reconnects_left;
  DWORD active_protocol = 0;
  const LONG reconnected = SCardReconnect(card, SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1,
                                          SCARD_LEAVE_CARD, &active_protocol);
  if (reconnected != SCARD_S_SUCCESS) {
    console_log(0, "card reset by another program: reconnect failed: %x", pcsc_code(reconnected));
    return false;
  }
  console_log(0, "card reset by another program: reconnected");
  return true;
}

LONG transmit_apdu(const ByteBuffer& command, std::uint8_t* receive, DWORD& receive_length, SCARDHANDLE card,
                   DWORD protocol) {
  const SCARD_IO_REQUEST* pci = protocol == SCARD_PROTOCOL_T0 ? &g_rgSCardT0Pci : &g_rgSCardT1Pci;
  const DWORD capacity = receive_length;
  LONG result;
  do {
    std::memset(receive, 0, capacity);
    receive_length = capacity;
    result = SCardTransmit(card, pci, command.data(), static_cast<DWORD>(command.size()), nullptr, receive,
                           &receive_length);
  } while (reconnect_after_reset(result, card));
  if (result != SCARD_S_SUCCESS) return result;
  // A length beyond the area would make every reader of the answer overrun it.
  if (receive_length > capacity) receive_length = capacity;
  if (debug_mode) console_log(0, "received: '%s' ", to_hex(receive, receive_length).c_str());
  return SCARD_S_SUCCESS;
}
