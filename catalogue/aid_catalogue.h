// The built-in catalogue of known smart-card applications.
#pragma once

#include <string>

// One catalogue row. Texts are Windows-1252, stored and printed byte for byte.
struct AidRecord {
  std::string aid;          // upper-case hex digits, 10 to 32; empty only in the end-of-list row
  std::string vendor;       // organisation that the aid's RID is assigned to
  std::string country;      // that organisation's country
  std::string name;         // short application name
  std::string description;  // longer note
  std::string type;         // family label ("EMV", "GP", ...) or the no-value mark
};

// Rows in the catalogue, the end-of-list row included.
constexpr int AID_CATALOGUE_ROWS = 256;

// The one-byte text 0xA0 that stands in a field without a value.
constexpr char NoValueMark[] = "\xA0";

// The catalogue: 255 application rows in ascending aid order, then the
// end-of-list row, whose aid is empty. Built before main runs, read-only
// afterwards, and released at exit.
extern const AidRecord AidCatalogue[AID_CATALOGUE_ROWS];
