// Invariants of the built-in AID catalogue: the aids and their order, the
// family labels, where the no-value mark stands, RID-consistent vendors, the
// rows whose texts are fixed, the Windows-1252 texts, texts that name a real
// holder and application rather than a placeholder, and the closing row.

#include "catalogue/aid_catalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr int APP_ROWS = AID_CATALOGUE_ROWS - 1;  // rows 1-255; row 256 closes the table

// Rows are numbered from 1 here, as in the comments of the table.
const AidRecord& row(int n) { return AidCatalogue[n - 1]; }

const std::string MARK = NoValueMark;

// A set of row numbers written as "1, 6-7, 9-10".
std::set<int> rows_of(const std::string& text) {
  std::set<int> out;
  std::istringstream in(text);
  std::string part;
  while (std::getline(in, part, ',')) {
    const std::size_t dash = part.find('-');
    const int first = std::stoi(part.substr(0, dash));
    const int last = dash == std::string::npos ? first : std::stoi(part.substr(dash + 1));
    for (int n = first; n <= last; ++n) out.insert(n);
  }
  return out;
}

std::set<int> all_rows() {
  std::set<int> out;
  for (int n = 1; n <= APP_ROWS; ++n) out.insert(n);
  return out;
}

// The six fields of a row, in declaration order.
std::vector<const std::string*> fields(const AidRecord& r) {
  return {&r.aid, &r.vendor, &r.country, &r.name, &r.description, &r.type};
}

std::string decode_hex_ascii(const std::string& hex) {
  std::string out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return out;
}

bool has_high_byte(const std::string& text) {
  return std::any_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) > 0x7F; });
}

// Every aid of rows 1-255 in table order, duplicates included.
const char* const EXPECTED_AIDS[APP_ROWS] = {
    /*   1 */ "315041592E5359532E4444463031", "325041592E5359532E4444463031", "44464D46412E44466172653234313031", "A00000000101", "A000000003000000",
    /*   6 */ "A00000000300037561", "A00000000305076010", "A0000000031010", "A000000003101001", "A000000003101002",
    /*  11 */ "A0000000032010", "A0000000032020", "A0000000033010", "A0000000034010", "A0000000035010",
    /*  16 */ "A000000003534441", "A0000000035350", "A000000003535041", "A0000000036010", "A0000000036020",
    /*  21 */ "A0000000038002", "A0000000038010", "A0000000039010", "A000000003999910", "A0000000040000",
    /*  26 */ "A00000000401", "A0000000041010", "A00000000410101213", "A00000000410101215", "A0000000041010BB5449435301",
    /*  31 */ "A0000000042010", "A0000000042203", "A0000000043010", "A0000000043060", "A000000004306001",
    /*  36 */ "A0000000044010", "A0000000045010", "A0000000045555", "A0000000046000", "A0000000048002",
    /*  41 */ "A0000000049999", "A0000000050001", "A0000000050002", "A0000000090001FF44FF1289", "A0000000101030",
    /*  46 */ "A00000001800", "A0000000181001", "A000000018434D", "A000000018434D00", "A00000002401",
    /*  51 */ "A000000025", "A0000000250000", "A00000002501", "A000000025010104", "A000000025010402",
    /*  56 */ "A000000025010701", "A000000025010801", "A0000000291010", "A00000002945087510100000", "A00000002949034010100001",
    /*  61 */ "A00000002949282010100000", "A000000029564182", "A00000003029057000AD13100101FF", "A0000000308000000000280101", "A0000000421010",
    /*  66 */ "A0000000422010", "A0000000423010", "A0000000424010", "A0000000425010", "A00000005945430100",
    /*  71 */ "A000000063504B43532D3135", "A0000000635741502D57494D", "A00000006510", "A0000000651010", "A00000006900",
    /*  76 */ "A000000077010000021000000000003B", "A0000000790100", "A0000000790101", "A0000000790102", "A00000007901F0",
    /*  81 */ "A00000007901F1", "A00000007901F2", "A0000000790200", "A0000000790201", "A00000007902FB",
    /*  86 */ "A00000007902FD", "A00000007902FE", "A0000000790300", "A0000000791201", "A0000000791202",
    /*  91 */ "A0000000871002FF49FF0589", "A00000008810200105C100", "A000000088102201034221", "A000000088102201034321", "A0000000960200",
    /*  96 */ "A000000098", "A0000000980840", "A0000000980848", "A0000001110101", "A0000001160300",
    /* 101 */ "A0000001166010", "A0000001166030", "A0000001169000", "A000000116A001", "A000000116DB00",
    /* 106 */ "A000000118010000", "A000000118020000", "A000000118030000", "A000000118040000", "A0000001184543",
    /* 111 */ "A000000118454E", "A0000001211010", "A0000001320001", "A0000001408001", "A0000001410001",
    /* 116 */ "A0000001510000", "A00000015153504341534400", "A0000001523010", "A0000001524010", "A0000001544442",
    /* 121 */ "A0000001570010", "A0000001570020", "A0000001570021", "A0000001570022", "A0000001570023",
    /* 126 */ "A0000001570030", "A0000001570031", "A0000001570040", "A0000001570050", "A0000001570051",
    /* 131 */ "A0000001570100", "A0000001570104", "A0000001570109", "A000000157010A", "A000000157010B",
    /* 136 */ "A000000157010C", "A000000157010D", "A0000001574443", "A0000001574444", "A000000167413000FF",
    /* 141 */ "A000000167413001", "A000000172950001", "A000000177504B43532D3135", "A0000001850002", "A0000001884443",
    /* 146 */ "A0000002040000", "A0000002281010", "A0000002282010", "A00000022820101010", "A0000002471001",
    /* 151 */ "A0000002472001", "A0000002771010", "A00000030600000000000000", "A000000308000010000100", "A00000031510100528",
    /* 156 */ "A0000003156020", "A00000032301", "A0000003230101", "A0000003241010", "A000000333010101",
    /* 161 */ "A000000333010102", "A000000333010103", "A000000333010106", "A000000333010108", "A0000003591010",
    /* 166 */ "A0000003591010028001", "A00000035910100380", "A0000003660001", "A0000003660002", "A0000003710001",
    /* 171 */ "A0000003964D66344D0002", "A00000039742544659", "A0000003974349445F0100", "A0000004271010", "A0000004320001",
    /* 176 */ "A0000004360100", "A0000004391010", "A0000004540010", "A0000004540011", "A0000004762010",
    /* 181 */ "A0000004763030", "A0000004766C", "A000000476A010", "A000000476A110", "A000000485",
    /* 186 */ "A0000005241010", "A0000005271002", "A000000527200101", "A000000527210101", "A0000005591010FFFFFFFF8900000100",
    /* 191 */ "A0000005591010FFFFFFFF8900000200", "A0000005591010FFFFFFFF8900000D00", "A0000005591010FFFFFFFF8900000E00", "A0000005591010FFFFFFFF8900000F00", "A0000005591010FFFFFFFF8900001000",
    /* 196 */ "A00000061700", "A0000006200620", "A0000006581010", "A0000006582010", "A0000006723010",
    /* 201 */ "A0000006723020", "A0000007705850", "B012345678", "D040000001000002", "D040000002000002",
    /* 206 */ "D040000003000002", "D040000004000002", "D04000000B000002", "D04000000C000002", "D04000000D000002",
    /* 211 */ "D040000013000001", "D040000013000001", "D040000013000002", "D040000013000002", "D040000014000001",
    /* 216 */ "D040000015000001", "D040000015000001", "D0400000190001", "D0400000190002", "D0400000190003",
    /* 221 */ "D0400000190004", "D0400000190010", "D268000001", "D276000005", "D276000005AA040360010410",
    /* 226 */ "D276000005AA0503E00401", "D276000005AA0503E00501", "D276000005AA0503E0050101", "D276000005AB0503E0040101", "D27600002200000001",
    /* 231 */ "D27600002200000002", "D27600002200000060", "D276000025", "D27600002545410100", "D27600002545500100",
    /* 236 */ "D27600002547410100", "D276000060", "D2760000850100", "D2760000850101", "D276000118",
    /* 241 */ "D2760001180101", "D27600012401", "D276000124010101FFFF000000010000", "D2760001240102000000000000010000", "D27600012402",
    /* 246 */ "D2760001240200010000000000000000", "D4100000011010", "D5280050218002", "D5780000021010", "D7560000010101",
    /* 251 */ "D7560000300101", "E80704007F00070302", "E82881C11702", "E828BD080F", "F0000000030001",
};

}  // namespace

TEST(Catalogue, AidsMatchTheTable) {
  for (int n = 1; n <= APP_ROWS; ++n) EXPECT_EQ(row(n).aid, EXPECTED_AIDS[n - 1]) << "row " << n;

  // A walk in table order stops at the first empty aid, which is row 256.
  int walked = 0;
  while (!AidCatalogue[walked].aid.empty()) ++walked;
  EXPECT_EQ(walked, APP_ROWS);
  EXPECT_EQ(AID_CATALOGUE_ROWS, 256);

  for (int n = 1; n <= APP_ROWS; ++n) {
    const std::string& aid = row(n).aid;
    EXPECT_EQ(aid.size() % 2, 0u) << "row " << n;
    EXPECT_GE(aid.size(), 10u) << "row " << n;
    EXPECT_LE(aid.size(), 32u) << "row " << n;
    EXPECT_EQ(aid.find_first_not_of("0123456789ABCDEF"), std::string::npos) << "row " << n;
  }
}

TEST(Catalogue, AidsAreOrderedWithThreeAdjacentDuplicates) {
  std::set<int> duplicated;  // first row of each equal pair
  for (int n = 1; n < APP_ROWS; ++n) {
    EXPECT_LE(row(n).aid.compare(row(n + 1).aid), 0) << "rows " << n << " and " << n + 1;
    if (row(n).aid == row(n + 1).aid) duplicated.insert(n);
  }
  EXPECT_EQ(duplicated, rows_of("211, 213, 216"));
  for (int n : duplicated) {
    EXPECT_NE(row(n).name, row(n + 1).name) << "row " << n;
    EXPECT_NE(row(n).description, row(n + 1).description) << "row " << n;
  }
  EXPECT_EQ(row(211).aid, "D040000013000001");
  EXPECT_EQ(row(213).aid, "D040000013000002");
  EXPECT_EQ(row(216).aid, "D040000015000001");

  std::set<std::string> distinct;
  for (int n = 1; n <= APP_ROWS; ++n) distinct.insert(row(n).aid);
  EXPECT_EQ(distinct.size(), 252u);
}

TEST(Catalogue, AidLengthsPrefixesAndLeadingDigits) {
  std::map<std::size_t, int> by_bytes;
  std::map<char, int> by_first_digit;
  for (int n = 1; n <= APP_ROWS; ++n) {
    ++by_bytes[row(n).aid.size() / 2];
    ++by_first_digit[row(n).aid[0]];
  }
  const std::map<std::size_t, int> expected_bytes = {
      {5, 10}, {6, 13}, {7, 137}, {8, 40}, {9, 17}, {10, 1},
      {11, 8}, {12, 13}, {13, 2}, {14, 2}, {15, 1}, {16, 11}};
  EXPECT_EQ(by_bytes, expected_bytes);
  EXPECT_EQ(by_first_digit['A'], 199);
  EXPECT_EQ(by_first_digit['D'], 48);
  EXPECT_EQ(by_first_digit['E'], 3);
  EXPECT_EQ(by_first_digit['B'], 1);
  EXPECT_EQ(by_first_digit['F'], 1);
  for (int n = 1; n <= 3; ++n) EXPECT_TRUE(row(n).aid[0] >= '0' && row(n).aid[0] <= '9') << "row " << n;

  std::set<int> bare_rids;
  for (int n = 1; n <= APP_ROWS; ++n)
    if (row(n).aid.size() == 10) bare_rids.insert(n);
  EXPECT_EQ(bare_rids, rows_of("51, 96, 185, 203, 223, 224, 233, 237, 240, 254"));

  // Aids that are the leading part of a longer aid further down the table.
  std::set<int> prefixes;
  for (int n = 1; n <= APP_ROWS; ++n)
    for (int later = n + 1; later <= APP_ROWS; ++later) {
      const std::string& a = row(n).aid;
      const std::string& b = row(later).aid;
      if (b.size() > a.size() && b.compare(0, a.size(), a) == 0) prefixes.insert(n);
    }
  EXPECT_EQ(prefixes, rows_of("8, 17, 27, 34, 48, 51, 53, 73, 96, 148, 157, 165, 224, 227, 233, 240, 242, 245"));
  std::set<int> under_row_51;
  for (int n = 1; n <= APP_ROWS; ++n)
    if (n != 51 && row(n).aid.compare(0, row(51).aid.size(), row(51).aid) == 0) under_row_51.insert(n);
  EXPECT_EQ(under_row_51, rows_of("52-57"));

  // Payment system environment directory names, and a RID followed by text.
  EXPECT_EQ(decode_hex_ascii(row(1).aid), "1PAY.SYS.DDF01");
  EXPECT_EQ(decode_hex_ascii(row(2).aid), "2PAY.SYS.DDF01");
  const std::string pkcs = decode_hex_ascii(row(71).aid.substr(10));
  EXPECT_EQ(pkcs, "PKCS-15");
}

TEST(Catalogue, TypeColumnFollowsTheFamilyTable) {
  const std::vector<std::pair<std::string, std::string>> families = {
      {"EMV",
       "7-15, 19-24, 26-29, 31, 33-37, 39-43, 50-53, 55-58, 65-69, 73-76, 96, 98, 112, 115, "
       "118-120, 142, 144, 147-148, 152, 155-156, 166, 170, 178-179, 182, 186, 200-203, 235, "
       "248-249, 255"},
      {"GP", "5, 16-18, 25, 48-49, 95, 116-117, 183-184"},
      {"BuyPass", "92-94"},
      {"YKNEO", "187-189"},
      {"OpenPGP", "242-244"},
      {"MRTD", "150-151"},
      {"SmartChess", "245-246"},
      {"USIM", "91"},
      {"JCOP", "140"},
  };
  const std::map<std::string, std::size_t> counts = {
      {"EMV", 75}, {"GP", 12}, {"BuyPass", 3}, {"YKNEO", 3}, {"OpenPGP", 3},
      {"MRTD", 2}, {"SmartChess", 2}, {"USIM", 1}, {"JCOP", 1}};

  std::set<int> unlabelled = all_rows();
  for (const auto& [label, listed] : families) {
    std::set<int> actual;
    for (int n = 1; n <= APP_ROWS; ++n)
      if (row(n).type == label) actual.insert(n);
    EXPECT_EQ(actual, rows_of(listed)) << label;
    EXPECT_EQ(actual.size(), counts.at(label)) << label;
    for (int n : actual) unlabelled.erase(n);
  }
  EXPECT_EQ(unlabelled.size(), 153u);
  for (int n : unlabelled) EXPECT_EQ(row(n).type, MARK) << "row " << n;
}

TEST(Catalogue, NoValueMarkStandsExactlyInTheListedPlaces) {
  ASSERT_EQ(MARK.size(), 1u);
  EXPECT_EQ(static_cast<unsigned char>(MARK[0]), 0xA0);

  const std::vector<std::pair<std::string AidRecord::*, std::string>> places = {
      {&AidRecord::aid, ""},
      {&AidRecord::vendor, "247-248, 252-255"},
      {&AidRecord::country, "252-255"},
      {&AidRecord::name, "66-69, 165, 167, 224, 234, 237, 240, 247"},
      {&AidRecord::description,
       "1, 6-7, 9-10, 16, 19-20, 23-24, 41, 45-47, 50-51, 54-57, 59-62, 64, 66-70, 75-76, "
       "91, 93-94, 97, 99, 113-114, 121-139, 143-146, 155-156, 159-164, 168-169, 174-176, "
       "181-185, 190-196, 198-199, 225-229, 236-237, 240, 247, 251, 253"},
  };
  const std::vector<std::size_t> sizes = {0, 6, 4, 11, 100};
  for (std::size_t f = 0; f < places.size(); ++f) {
    std::set<int> actual;
    for (int n = 1; n <= APP_ROWS; ++n)
      if (row(n).*places[f].first == MARK) actual.insert(n);
    EXPECT_EQ(actual, places[f].second.empty() ? std::set<int>{} : rows_of(places[f].second))
        << "field " << f;
    EXPECT_EQ(actual.size(), sizes[f]) << "field " << f;
  }

  // The mark byte never appears inside a longer text.
  for (int n = 1; n <= AID_CATALOGUE_ROWS; ++n)
    for (const std::string* text : fields(row(n))) {
      if (*text != MARK) {
        EXPECT_EQ(text->find('\xA0'), std::string::npos) << "row " << n;
      }
    }

  // "?" is an ordinary value, found in these rows only.
  std::set<int> question;
  for (int n = 1; n <= APP_ROWS; ++n)
    for (const std::string* text : fields(row(n)))
      if (*text == "?") question.insert(n);
  EXPECT_EQ(question, rows_of("141, 146, 248"));
}

TEST(Catalogue, VendorAndCountryDependOnTheRidAlone) {
  std::map<std::string, std::pair<std::string, std::string>> by_rid;
  for (int n = 1; n <= APP_ROWS; ++n) {
    const AidRecord& r = row(n);
    const std::string rid = r.aid.substr(0, 10);
    const auto [it, inserted] = by_rid.emplace(rid, std::make_pair(r.vendor, r.country));
    if (!inserted) {
      EXPECT_EQ(r.vendor, it->second.first) << "row " << n << " RID " << rid;
      EXPECT_EQ(r.country, it->second.second) << "row " << n << " RID " << rid;
    }
  }
  EXPECT_EQ(by_rid.size(), 100u);
  EXPECT_EQ(by_rid.at("A000000003"), std::make_pair(std::string("Visa International"), std::string("United States")));
  EXPECT_EQ(by_rid.at("A000000004"), std::make_pair(std::string("Mastercard International"), std::string("United States")));
  EXPECT_EQ(by_rid.at("D040000015"), std::make_pair(std::string("Austria Card"), std::string("Austria")));
  EXPECT_EQ(by_rid.at("A000000157").first, "Z\xFC" "hlke Engineering AG");
  EXPECT_EQ(by_rid.at("A000000157").second, "Switzerland");
}

TEST(Catalogue, RowsGivenInFullMatchByteForByte) {
  struct FullRow {
    int n;
    const char* aid;
    const char* vendor;
    const char* country;
    const char* name;
    const char* description;
    const char* type;
  };
  const char* const M = NoValueMark;
  const FullRow full[] = {
      {1, "315041592E5359532E4444463031", "Visa International", "United States",
       "Visa Payment System Environment - PSE (1PAY.SYS.DDF01)", M, M},
      {2, "325041592E5359532E4444463031", "Visa International", "United States",
       "Visa Proximity Payment System Environment - PPSE (2PAY.SYS.DDF01)", "Visa payWave for Mobile", M},
      {8, "A0000000031010", "Visa International", "United States", "VISA Debit/Credit (Classic)",
       "Standard/Gold VISA credit card", "EMV"},
      {25, "A0000000040000", "Mastercard International", "United States", "MasterCard Card Manager",
       "Security Domain", "GP"},
      {27, "A0000000041010", "Mastercard International", "United States", "MasterCard Credit",
       "Standard MasterCard", "EMV"},
      {66, "A0000000422010", "Groupement des Cartes Bancaires CB", "France", M, M, "EMV"},
      {71, "A000000063504B43532D3135", "RSA Laboratories", "United States", "PKCS-15",
       "RSA PKCS-15 PKI application (Predecessor to ISO7816-15) / ID-card in Finland", M},
      {91, "A0000000871002FF49FF0589", "Third Generation Partnership Project (3GPP)", "France",
       "Telenor USIM", M, "USIM"},
      {116, "A0000001510000", "GlobalPlatform, Inc.", "United States", "Global Platform Security Domain AID",
       "GP Card Manager", "GP"},
      {150, "A0000002471001", "ISO JTC1/SC17/WG3", "United Kingdom", "Machine Readable Travel Documents (MRTD)",
       "Electronic (Biometric) Passport. Issuer stored data application (The last three digits of the PIX "
       "shall be used to denote future version levels.)",
       "MRTD"},
      {216, "D040000015000001", "Austria Card", "Austria", "DF_UNI_Ausweis", "Domestic Loyalty Program (Version 2.0)", M},
      {217, "D040000015000001", "Austria Card", "Austria", "DF_Ausweis", "Domestic Loyalty Program (Version 1.3)", M},
      {242, "D27600012401", "fsfEurope", "Germany", "OpenPGP Card", "For selection when not knowing the exact full AID",
       "OpenPGP"},
      {247, "D4100000011010", M, "Republic of Korea", M, M, M},
      {252, "E80704007F00070302", M, M, "nPA", "German eID", M},
      {255, "F0000000030001", M, M, "BRADESCO", "Brazilian Bank Banco Bradesco", "EMV"},
      {256, "", "", "", "end of list", "", ""},
  };
  for (const FullRow& f : full) {
    const AidRecord& r = row(f.n);
    EXPECT_EQ(r.aid, f.aid) << "row " << f.n;
    EXPECT_EQ(r.vendor, f.vendor) << "row " << f.n;
    EXPECT_EQ(r.country, f.country) << "row " << f.n;
    EXPECT_EQ(r.name, f.name) << "row " << f.n;
    EXPECT_EQ(r.description, f.description) << "row " << f.n;
    EXPECT_EQ(r.type, f.type) << "row " << f.n;
  }
}

TEST(Catalogue, TextsAreWindows1252WithHighBytesOnlyInKnownRows) {
  const std::set<int> allowed = rows_of("26, 75, 108, 121-139, 202, 212, 214");
  std::set<int> with_high;
  for (int n = 1; n <= AID_CATALOGUE_ROWS; ++n) {
    for (const std::string* text : fields(row(n))) {
      if (*text == MARK) continue;
      for (char c : *text) {
        const unsigned char b = static_cast<unsigned char>(c);
        EXPECT_GE(b, 0x20) << "control byte in row " << n;
        EXPECT_NE(b, 0x7F) << "control byte in row " << n;
        if (b > 0x7F) {
          EXPECT_TRUE(b == 0xE9 || b == 0xFC || b == 0x92) << "row " << n << " byte " << int{b};
          with_high.insert(n);
        }
      }
    }
  }
  EXPECT_EQ(with_high, allowed);
  for (int n = 121; n <= 139; ++n) EXPECT_TRUE(has_high_byte(row(n).vendor)) << "row " << n;
}

TEST(Catalogue, NoEmptyFieldAndLongestTexts) {
  std::size_t longest_name = 0;
  std::size_t longest_description = 0;
  for (int n = 1; n <= APP_ROWS; ++n) {
    for (const std::string* text : fields(row(n))) EXPECT_FALSE(text->empty()) << "row " << n;
    longest_name = std::max(longest_name, row(n).name.size());
    longest_description = std::max(longest_description, row(n).description.size());
  }
  EXPECT_EQ(longest_name, 161u);
  EXPECT_EQ(longest_description, 247u);
}

namespace {

// "Application 0101" or "Application with PIX 0101": a text that only repeats
// the aid's digits instead of naming the application.
bool only_repeats_hex(const std::string& text) {
  for (const std::string lead : {"Application ", "Application with PIX "}) {
    const std::string rest = text.substr(std::min(lead.size(), text.size()));
    if (text.compare(0, lead.size(), lead) == 0 && !rest.empty() &&
        rest.find_first_not_of("0123456789ABCDEF") == std::string::npos)
      return true;
  }
  return false;
}

}  // namespace

TEST(Catalogue, EveryRowNamesItsHolderAndApplication) {
  EXPECT_TRUE(only_repeats_hex("Application 0101"));
  EXPECT_TRUE(only_repeats_hex("Application with PIX AA0503E00401"));
  EXPECT_FALSE(only_repeats_hex("Application "));
  EXPECT_FALSE(only_repeats_hex("Application 0101 of the Austrian loyalty card"));

  for (int n = 1; n <= APP_ROWS; ++n) {
    const AidRecord& r = row(n);
    for (const std::string* text : fields(r)) {
      EXPECT_EQ(text->find("not identified"), std::string::npos) << "row " << n << ": " << *text;
      EXPECT_EQ(text->find("Unknown"), std::string::npos) << "row " << n << ": " << *text;
    }
    EXPECT_FALSE(only_repeats_hex(r.name)) << "row " << n << ": " << r.name;
    EXPECT_FALSE(only_repeats_hex(r.description)) << "row " << n << ": " << r.description;
  }
}

TEST(Catalogue, EndOfListRowClosesTheTable) {
  const AidRecord& last = row(AID_CATALOGUE_ROWS);
  EXPECT_TRUE(last.aid.empty());
  EXPECT_TRUE(last.vendor.empty());
  EXPECT_TRUE(last.country.empty());
  EXPECT_EQ(last.name, "end of list");
  EXPECT_TRUE(last.description.empty());
  EXPECT_TRUE(last.type.empty());
  // Only the closing row has an empty aid, so nothing before it ends a walk.
  for (int n = 1; n <= APP_ROWS; ++n) EXPECT_FALSE(row(n).aid.empty()) << "row " << n;
}
