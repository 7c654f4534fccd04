// Reader names through the wide-character adapter: UTF-8 to UTF-16 and back,
// and WideCharToMultiByte as the monitor calls it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "monitor/monitor.h"
#include "platform/pcsc.h"
#include "platform/utf.h"
#include "tests/support.h"

using quillon_utf::utf16_to_utf8;
using quillon_utf::utf8_to_utf16;

namespace {
std::u16string u16(const std::string& s) { return utf8_to_utf16(s.data(), s.size()); }
std::string u8(const std::u16string& s) { return utf16_to_utf8(s.data(), s.size()); }
std::string hex_of(const std::string& s) { return support::hex(sim::Bytes(s.begin(), s.end())); }
}  // namespace

TEST(Utf, RoundTripsEveryPlane) {
  const std::string text = "Lecteur \xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 \xE4\xB8\xAD end";  // é € 😀 中
  const std::u16string wide = u16(text);
  EXPECT_EQ(wide, u"Lecteur \u00e9 \u20ac \U0001F600 \u4e2d end");
  EXPECT_EQ(u8(wide), text);
  EXPECT_EQ(u16(""), u"");
  EXPECT_EQ(u8(u""), "");
  // The edges of each UTF-8 length and the last single unit against the
  // first surrogate pair.
  const std::string edges = "\x7F \xC2\x80 \xDF\xBF \xE0\xA0\x80 \xEF\xBF\xBF \xF0\x90\x80\x80 \xF4\x8F\xBF\xBF";
  const std::u16string edges_wide = std::u16string(u"\u007F \u0080 \u07FF \u0800 ") + char16_t(0xFFFF) +
                                    u" " + char16_t(0xD800) + char16_t(0xDC00) + u" " + char16_t(0xDBFF) +
                                    char16_t(0xDFFF);
  EXPECT_EQ(u16(edges), edges_wide);
  EXPECT_EQ(u8(edges_wide), edges);
}

TEST(Utf, MalformedInputBecomesReplacementCharacters) {
  const std::u16string fffd(1, u'\xFFFD');
  EXPECT_EQ(u16("a\xFF" "b"), u"a" + fffd + u"b");                // a byte that never starts a sequence
  EXPECT_EQ(u16("a\xC3"), u"a" + fffd);                          // cut short at the end
  EXPECT_EQ(u16("\xE2\x82" "A"), fffd + u"A");                   // cut short, the next byte starts afresh
  EXPECT_EQ(u16("\xC0\xAF"), fffd + fffd);                       // overlong form
  EXPECT_EQ(u16("\xED\xA0\x80"), fffd + fffd + fffd);            // an encoded surrogate
  EXPECT_EQ(u16("\xF4\x90\x80\x80"), fffd + fffd + fffd + fffd);  // beyond U+10FFFF
  EXPECT_EQ(u16("\x80"), fffd);                                  // a lone continuation byte
  // Unpaired surrogates in UTF-16 become U+FFFD in UTF-8.
  EXPECT_EQ(u8(std::u16string(u"x") + char16_t(0xD800) + u"y"), "x\xEF\xBF\xBDy");
  EXPECT_EQ(u8(std::u16string(1, char16_t(0xDC00))), "\xEF\xBF\xBD");
  EXPECT_EQ(u8(std::u16string(1, char16_t(0xD83D))), "\xEF\xBF\xBD");
}

TEST(Utf, NamesOfAnyBytesRoundTrip) {
  using quillon_utf::Malformed;
  const auto keep16 = [](const std::string& s) { return utf8_to_utf16(s.data(), s.size(), Malformed::keep_bytes); };
  const auto keep8 = [](const std::u16string& s) { return utf16_to_utf8(s.data(), s.size(), Malformed::keep_bytes); };
  // Each byte of an ill-formed subsequence is held as U+DC00 + byte; valid
  // UTF-8 around it is decoded as usual.
  EXPECT_EQ(keep16("Caf\xE9 \xC3\xA9"), std::u16string(u"Caf") + char16_t(0xDCE9) + u" \u00e9");
  EXPECT_EQ(keep16("\xE2\x82" "A"), std::u16string() + char16_t(0xDCE2) + char16_t(0xDC82) + u"A");
  // Every byte string comes back unchanged: each byte alone, the malformed
  // forms, and names that mix them with valid text.
  std::vector<std::string> samples{"\xFF\xFE", "a\xC3", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                                   "\xF0\x9F\x98", "\xEF\xBF\xBD\xBD", "ok \xF0\x9F\x98\x80 \xE9t\xE9"};
  for (int b = 1; b < 256; ++b) samples.emplace_back(1, static_cast<char>(b));
  for (const std::string& s : samples) EXPECT_EQ(keep8(keep16(s)), s) << hex_of(s);
  // Shown on the console, a kept byte is U+FFFD again, one per ill-formed
  // subsequence as before; without keep_bytes a lone low surrogate is too.
  for (const std::string& s : samples) {
    const std::u16string wide = keep16(s);
    std::string shown(wide.size() * 3 + 1, '\0');
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), static_cast<int>(wide.size()), shown.data(),
                                      static_cast<int>(shown.size()), nullptr, nullptr);
    EXPECT_EQ(shown.substr(0, static_cast<std::size_t>(n)), u8(u16(s))) << hex_of(s);
  }
  EXPECT_EQ(u8(std::u16string(1, char16_t(0xDCE9))), "\xEF\xBF\xBD");
}

TEST(Utf, WideCharToMultiByteAsWindowsDoes) {
  const std::u16string text = u"\u00e9t\U0001F600";
  char out[16] = {};
  // Size query, then conversion of the units without the terminator.
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), 4, nullptr, 0, nullptr, nullptr), 7);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), 4, out, sizeof out, nullptr, nullptr), 7);
  EXPECT_EQ(std::string(out, 7), "\xC3\xA9t\xF0\x9F\x98\x80");
  // -1 takes the terminator too.
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out, sizeof out, nullptr, nullptr), 8);
  EXPECT_EQ(out[7], '\0');
  // Too small: nothing written, 0 returned.
  char small[3] = {'x', 'x', 'x'};
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), 4, small, 3, nullptr, nullptr), 0);
  EXPECT_EQ(std::string(small, 3), "xxx");
  EXPECT_EQ(WideCharToMultiByte(1252, 0, text.c_str(), 4, out, sizeof out, nullptr, nullptr), 0);
}

TEST(Utf, WideToUtf8) {
  std::string out = "old";
  wide_to_utf8(u"Virtual PCD 00 00", -1, out);
  EXPECT_EQ(out, "Virtual PCD 00 00");
  wide_to_utf8(u"Virtual PCD 00 00", 7, out);
  EXPECT_EQ(out, "Virtual");
  wide_to_utf8(u"", -1, out);
  EXPECT_EQ(out, "");
  const std::u16string worst(300, u'\xFFFF');  // three UTF-8 bytes per unit
  wide_to_utf8(worst.c_str(), 0, out);
  EXPECT_EQ(out.size(), 900u);
}
