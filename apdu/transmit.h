// The exchange of one command APDU with a connected card.
#pragma once

#include <cstdint>

#include "apdu/hex.h"
#include "platform/pcsc.h"

// Every caller's receive area holds this many bytes.
constexpr DWORD RECEIVE_AREA_SIZE = 260;

// Sends command with the protocol control block for protocol (T=0 for
// SCARD_PROTOCOL_T0, T=1 for anything else), after clearing the first
// receive_length bytes of the receive area. On success receive_length is the
// number of bytes received (data then SW1 SW2) and the answer is traced.
// Returns the PC/SC result unchanged.
LONG transmit_apdu(const ByteBuffer& command, std::uint8_t* receive, DWORD& receive_length, SCARDHANDLE card,
                   DWORD protocol);
