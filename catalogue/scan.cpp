#include "catalogue/scan.h"

#include <cstdint>

#include "apdu/select.h"
#include "apdu/transmit.h"

LONG scan_catalogue(FoundAidList& found, SCARDHANDLE card, DWORD protocol, const AidRecord* catalogue) {
  std::uint8_t receive[RECEIVE_AREA_SIZE];
  DWORD receive_length = RECEIVE_AREA_SIZE;
  LONG first_failure = SCARD_S_SUCCESS;
  // Only the empty aid of the end-of-list row ends the walk.
  for (const AidRecord* row = catalogue; !row->aid.empty(); ++row) {
    LONG exchange = SCARD_S_SUCCESS;
    if (try_select(row->aid, receive, receive_length, card, protocol, &exchange)) found.push_back(row);
    if (first_failure == SCARD_S_SUCCESS) first_failure = exchange;
  }
  return first_failure;
}
