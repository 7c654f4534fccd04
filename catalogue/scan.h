// The scan of a card against the catalogue.
#pragma once

#include <vector>

#include "catalogue/aid_catalogue.h"
#include "platform/pcsc.h"

// The catalogue rows whose AID a card accepted, in catalogue order. It refers
// to rows where they stand; it never copies them.
using FoundAidList = std::vector<const AidRecord*>;

// Selects the aid of every row from the first up to the first row with an
// empty aid, and appends every row the card accepts to found. Returns the
// PC/SC result of the first SELECT exchange that failed as a whole (the
// stack gave no answer: the card or reader was lost, or the handle no
// longer reaches them), or SCARD_S_SUCCESS when the card answered each one.
LONG scan_catalogue(FoundAidList& found, SCARDHANDLE card, DWORD protocol, const AidRecord* catalogue = AidCatalogue);
