// The exchange of one command APDU with a connected card.
#pragma once

#include <cstdint>

#include "apdu/hex.h"
#include "platform/pcsc.h"

// Every caller's receive area holds this many bytes.
constexpr DWORD RECEIVE_AREA_SIZE = 260;

// The card is shared: another program can reset it at any moment (card
// middleware at the end of a transaction, a test tool, another Quillon's
// serial read), and pcsc-lite reports a reader's USB reset as one too. The
// card stays, but every later call on this handle then fails with
// SCARD_W_RESET_CARD until the handle is reconnected. A card session
// reconnects at most this many times, so that a program resetting the card
// without pause cannot keep the scan going for ever; past that, a reset
// fails the call as any other error does.
constexpr int MAX_RESET_RECONNECTS = 32;

// Starts a card session's count of those reconnects.
void allow_reset_reconnects();

// When result tells of a reset and the session may still reconnect:
// reconnects the handle (shared, T=0 or T=1, leaving the card as it is),
// says so in the trace and returns true, so that the caller sends the same
// call again. Returns false otherwise. A reset shows as SCARD_W_RESET_CARD,
// or, on an exchange that meets the reset half done, as
// SCARD_E_PROTO_MISMATCH: pcsc-lite flags the reset to the other handles
// first and unsets the card's protocol only once the card has answered it,
// so a command can pass the first check and fail the second, and a
// reconnect made in between finds the old protocol still set and leaves the
// card without one. A reconnect negotiates it again.
bool reconnect_after_reset(LONG result, SCARDHANDLE card);

// Sends command with the protocol control block for protocol (T=0 for
// SCARD_PROTOCOL_T0, T=1 for anything else), after clearing the first
// receive_length bytes of the receive area. On success receive_length is the
// number of bytes received (data then SW1 SW2) and the answer is traced.
// A reset by another program is answered by reconnect_after_reset and the
// command sent again. Returns the PC/SC result unchanged.
LONG transmit_apdu(const ByteBuffer& command, std::uint8_t* receive, DWORD& receive_length, SCARDHANDLE card,
                   DWORD protocol);
