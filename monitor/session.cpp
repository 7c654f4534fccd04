#include "app/console.h"
#include "apdu/hex.h"
#include "apdu/serial.h"
#include "apdu/transmit.h"
#include "catalogue/scan.h"
#include "monitor/monitor.h"

namespace {
const char RULE[] = "---------------------------------------";
}

SessionResult run_card_session(SCARDCONTEXT context, const SCARD_READERSTATEW& entry) {
  SessionResult outcome;
  SCARDHANDLE card = 0;
  DWORD protocol = 0;
  const LONG connected = SCardConnectW(context, entry.szReader, SCARD_SHARE_SHARED,
                                       SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &card, &protocol);
  if (connected != SCARD_S_SUCCESS) {
    console_log(0, "connect res %x", pcsc_code(connected));
    if (connected == static_cast<LONG>(SCARD_W_REMOVED_CARD)) {
      console_log(0, "card removed");
      return outcome;
    }
    console_log(0, "connect error %x", pcsc_code(connected));
    Sleep(RETRY_PAUSE_MS);
    outcome.stop_code = pcsc_code(connected);
    return outcome;
  }

  allow_reset_reconnects();

  // The ATR of the card this handle reached. The one the last status-change
  // wait stored can be another card's, or none: a card put in or swapped
  // while the walk was busy with another reader is connected all the same.
  // Only where the stack cannot say (the card went, or is lost with its
  // reader, right after the connect) does the wait's ATR stand in.
  unsigned char atr[sizeof entry.rgbAtr];
  DWORD atr_length = sizeof atr;
  LONG status;
  do {
    atr_length = sizeof atr;
    status = read_card_atr(card, atr, atr_length);
  } while (reconnect_after_reset(status, card));
  if (status == SCARD_S_SUCCESS && atr_length <= sizeof atr) {
    console_log(1, "ATR: '%s'", to_hex(atr, atr_length).c_str());
  } else {
    const DWORD seen = entry.cbAtr < sizeof entry.rgbAtr ? entry.cbAtr : static_cast<DWORD>(sizeof entry.rgbAtr);
    console_log(1, "ATR: '%s'", to_hex(entry.rgbAtr, seen).c_str());
  }
  console_log(1, "detecting AIDs...");

  {
    FoundAidList found;
    outcome.lost = scan_catalogue(found, card, protocol) != SCARD_S_SUCCESS;
    if (found.empty()) {
      console_log(1, "failed to read AID list => retrying");
    } else {
      for (const AidRecord* row : found) {
        console_log(1, "%s", RULE);
        console_log(1, "found AID:   '%s'", row->aid.c_str());
        console_log(1, "name:        '%s'", row->name.c_str());
        console_log(1, "description: '%s'", row->description.c_str());
        console_log(1, "vendor:      '%s'", row->vendor.c_str());
        read_card_serial(row->aid, card, protocol);
        console_log(1, "%s", RULE);
      }
      outcome.reported = true;
    }
  }

  console_log(0, "disconnect reader");
  SCardDisconnect(card, SCARD_RESET_CARD);
  // The stack answers a lost card or reader at once, so without a pause a
  // card that stays but fails every exchange would be scanned again and
  // again; the pause also gives the stack time to set up a reader that is
  // coming back.
  if (outcome.lost && !outcome.reported) Sleep(RETRY_PAUSE_MS);
  return outcome;
}
