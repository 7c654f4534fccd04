#include "apdu/serial.h"

#include <cstdint>
#include <vector>

#include "app/console.h"
#include "apdu/select.h"
#include "apdu/transmit.h"

namespace {

// The serial number is eight data bytes of the answer (9F 7F, a length byte,
// then the data): the answer must hold them in front of its two status bytes.
constexpr DWORD SERIAL_OFFSET = 13;
constexpr DWORD SERIAL_LENGTH = 8;
constexpr DWORD FULL_ANSWER = SERIAL_OFFSET + SERIAL_LENGTH + 2;

}  // namespace

void read_card_serial(HexString aid, SCARDHANDLE card, DWORD protocol) {
  const std::vector<HexString> aids{std::move(aid)};
  select_aid_from_list(aids, card, protocol);

  std::uint8_t receive[RECEIVE_AREA_SIZE];
  DWORD receive_length = 0;
  LONG error = SCARD_S_SUCCESS;

  LONG begun;
  do {
    begun = SCardBeginTransaction(card);
  } while (reconnect_after_reset(begun, card));
  if (begun != SCARD_S_SUCCESS) {
    console_log(3, "failed to read serial number: %x", pcsc_code(begun));
    error = begun;
  } else {
    const ByteBuffer get_serial = from_hex("80CA9F7F00");
    receive_length = RECEIVE_AREA_SIZE;
    if (debug_mode) console_log(0, "send: '%s' (get_serial)", to_hex(get_serial).c_str());
    const LONG result = transmit_apdu(get_serial, receive, receive_length, card, protocol);
    if (result != SCARD_S_SUCCESS) {
      console_log(3, "failed to read serial number: %x", pcsc_code(result));
      error = result;
    } else if (receive_length == 2 && receive[0] == 0x6C && receive[1] != 0x00) {
      // Wrong length: the card names the right one in SW2.
      const ByteBuffer read_serial = concat(from_hex("80CA9F7F"), receive[1]);
      receive_length = RECEIVE_AREA_SIZE;
      if (debug_mode) console_log(0, "send: '%s' (read_serial)", to_hex(read_serial).c_str());
      error = transmit_apdu(read_serial, receive, receive_length, card, protocol);
    } else if (receive_length < FULL_ANSWER) {
      // An answer that already carries the data is the usual success (T=1),
      // not a failure.
      console_log(3, "failed to read serial number: '%s'", to_hex(receive, receive_length).c_str());
    }
  }
  const LONG ended = SCardEndTransaction(card, SCARD_RESET_CARD);
  // Every handle on the card sees the reset, this one included: until it is
  // reconnected, the PC/SC service answers each further call on it with
  // SCARD_W_RESET_CARD, and the serial read of the next application would
  // fail. The card has just been reset, so the reconnect leaves it as it is.
  if (ended == SCARD_S_SUCCESS || ended == static_cast<LONG>(SCARD_W_RESET_CARD)) {
    DWORD active_protocol = 0;
    SCardReconnect(card, SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, SCARD_LEAVE_CARD,
                   &active_protocol);
  }

  if (error != SCARD_S_SUCCESS) {
    if (error == static_cast<LONG>(SCARD_W_REMOVED_CARD))
      console_log(0, "card removed");
    else
      console_log(0, "reader error %x", pcsc_code(error));
    return;
  }
  if (receive_length >= FULL_ANSWER) {
    console_log(1, "received serial number (id): '%s' ", to_hex(receive + SERIAL_OFFSET, SERIAL_LENGTH).c_str());
  } else if (receive_length >= 1) {
    console_log(3, "reader response too short: %d byte(s) '%s'-> ignoring", static_cast<int>(receive_length),
                to_hex(receive, receive_length).c_str());
  }
}
