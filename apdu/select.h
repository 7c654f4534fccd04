// Selecting an application by its AID, and fetching the answer it holds ready.
#pragma once

#include <cstdint>
#include <vector>

#include "apdu/hex.h"
#include "platform/pcsc.h"

// Sends SELECT by name (00 A4 04 00 Lc AID 00) for the AID text and returns
// the exchange result.
LONG select_aid(DWORD& receive_length, SCARDHANDLE card, DWORD protocol, const HexString& aid,
                std::uint8_t* receive);

// Whether a SELECT answer accepts the AID: data with its status word (three
// bytes or more), or a bare 61 xx. Any other two-byte status word refuses
// it, and so does an answer too short to hold a status word.
bool select_accepted(const std::uint8_t* receive, DWORD receive_length);

// Sends GET RESPONSE (00 C0 00 00 le) into the receive area. The answer is
// only traced.
void read_response(std::uint8_t le, std::uint8_t* receive, DWORD& receive_length, SCARDHANDLE card,
                   DWORD protocol);

// Selects one AID and writes its trace lines; when the card accepts it,
// follows up with GET RESPONSE. Returns whether it was accepted; exchange,
// when given, receives the PC/SC result of the SELECT exchange itself.
bool try_select(const HexString& aid, std::uint8_t* receive, DWORD& receive_length, SCARDHANDLE card,
                DWORD protocol, LONG* exchange = nullptr);

// Tries the AIDs in order until the card accepts one, then fetches its
// answer and stops.
void select_aid_from_list(const std::vector<HexString>& aids, SCARDHANDLE card, DWORD protocol);
