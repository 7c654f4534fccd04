// Reading the card's serial number from its card production life-cycle data.
#pragma once

#include "apdu/hex.h"
#include "platform/pcsc.h"

// Selects aid again, reads the life-cycle data (GET DATA 9F7F) inside a
// transaction that ends with a card reset, and prints the IC fabrication
// date, serial number and batch identifier as the card's serial number.
// Every outcome is a console line; the card stays connected.
void read_card_serial(HexString aid, SCARDHANDLE card, DWORD protocol);
