#include "apdu/transmit.h"

#include <cstring>

#include "app/console.h"

LONG transmit_apdu(const ByteBuffer& command, std::uint8_t* receive, DWORD& receive_length, SCARDHANDLE card,
                   DWORD protocol) {
  const SCARD_IO_REQUEST* pci = protocol == SCARD_PROTOCOL_T0 ? &g_rgSCardT0Pci : &g_rgSCardT1Pci;
  const DWORD capacity = receive_length;
  std::memset(receive, 0, capacity);
  const LONG result = SCardTransmit(card, pci, command.data(), static_cast<DWORD>(command.size()), nullptr, receive,
                                    &receive_length);
  if (result != SCARD_S_SUCCESS) return result;
  // A length beyond the area would make every reader of the answer overrun it.
  if (receive_length > capacity) receive_length = capacity;
  if (debug_mode) console_log(0, "received: '%s' ", to_hex(receive, receive_length).c_str());
  return SCARD_S_SUCCESS;
}
