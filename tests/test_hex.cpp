// The hex codec: encoding bytes as upper-case digit pairs, decoding digit
// pairs in either case up to the first pair that is not two hex digits, and
// appending to byte buffers without touching the operands.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "apdu/hex.h"

namespace {

ByteBuffer B(std::initializer_list<int> values) {
  ByteBuffer out;
  for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
  return out;
}

// Value of a hex digit, worked out independently of the codec: its position
// in the list of the 22 accepted characters.
int digit_value(unsigned char c) {
  static const std::string upper = "0123456789ABCDEF";
  static const std::string lower = "0123456789abcdef";
  const auto u = upper.find(static_cast<char>(c));
  if (u != std::string::npos && c != '\0') return static_cast<int>(u);
  const auto l = lower.find(static_cast<char>(c));
  if (l != std::string::npos && c != '\0') return static_cast<int>(l);
  return -1;
}

TEST(HexEncode, UpperCaseTwoDigitsPerByteInBothForms) {
  struct Case {
    ByteBuffer bytes;
    std::string text;
  };
  const std::vector<Case> cases = {
      {{}, ""},
      {B({0x00, 0xA4, 0x0F}), "00A40F"},
      {B({0xFF, 0x00, 0x80, 0x7F}), "FF00807F"},
      {B({0x0A}), "0A"},
      {B({0xA0}), "A0"},
      {B({0xAB, 0xCD, 0xEF, 0x01, 0x23, 0x45, 0x67, 0x89}), "ABCDEF0123456789"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(to_hex(c.bytes), c.text);
    EXPECT_EQ(to_hex(c.bytes.data(), c.bytes.size()), c.text);
  }
  // A run of bytes is read for exactly the length given.
  const std::uint8_t run[] = {0x12, 0x34, 0x56};
  EXPECT_EQ(to_hex(run, 2), "1234");
  EXPECT_EQ(to_hex(run, 0), "");
}

TEST(HexEncode, EveryByteValue) {
  ByteBuffer all;
  std::string expected;
  for (int v = 0; v < 256; ++v) {
    all.push_back(static_cast<std::uint8_t>(v));
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02X", v);
    expected += pair;
  }
  EXPECT_EQ(to_hex(all), expected);
  EXPECT_EQ(to_hex(all).size(), 512u);
}

TEST(HexDecode, WholePairsUpToTheFirstInvalidOne) {
  struct Case {
    std::string text;
    ByteBuffer bytes;
  };
  const std::vector<Case> cases = {
      // Command headers as the card layer writes them.
      {"00a40400", B({0x00, 0xA4, 0x04, 0x00})},
      {"80CA9F7F00", B({0x80, 0xCA, 0x9F, 0x7F, 0x00})},
      {"00C00000", B({0x00, 0xC0, 0x00, 0x00})},
      // Either case, also mixed within one pair.
      {"aB", B({0xAB})},
      {"Ab", B({0xAB})},
      {"fFeE", B({0xFF, 0xEE})},
      // Empty, a single character, and a lone last character.
      {"", {}},
      {"A", {}},
      {"ABCDE", B({0xAB, 0xCD})},
      // The lone last character is never looked at, whatever it is.
      {"ABx", B({0xAB})},
      {"AB ", B({0xAB})},
      // A separator spoils the pair it falls in; decoding stops there.
      {"12 34", B({0x12})},
      {"12:34", B({0x12})},
      {"12-34", B({0x12})},
      {" 1234", {}},
      {"0x12", {}},
      {"1G23", {}},
      {"121G23", B({0x12})},
      {"12G3", B({0x12})},
      {"123G", B({0x12})},
      // Decoding does not resume after an invalid pair.
      {"12zz3456", B({0x12})},
      // Characters right next to the accepted ranges.
      {"/0", {}},
      {"0/", {}},
      {":0", {}},
      {"9:", {}},
      {"@A", {}},
      {"A@", {}},
      {"GA", {}},
      {"`a", {}},
      {"a`", {}},
      {"ga", {}},
      {"ag", {}},
      // Bytes above 0x7F (here UTF-8 and Latin-1 letters) are invalid.
      {"12\xC3\xA9", B({0x12})},
      {"\xE9" "0", {}},
      {"1\xFF", {}},
      {"12\x80" "0", B({0x12})},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(from_hex(c.text), c.bytes) << "text '" << c.text << "'";
    EXPECT_EQ(from_hex(c.text.data(), c.text.size()), c.bytes) << "text '" << c.text << "'";
  }
}

TEST(HexDecode, EveryTwoCharacterText) {
  for (int hi = 0; hi < 256; ++hi) {
    for (int lo = 0; lo < 256; ++lo) {
      const char text[2] = {static_cast<char>(hi), static_cast<char>(lo)};
      const ByteBuffer got = from_hex(text, 2);
      const int h = digit_value(static_cast<unsigned char>(hi));
      const int l = digit_value(static_cast<unsigned char>(lo));
      if (h < 0 || l < 0) {
        ASSERT_TRUE(got.empty()) << "pair " << hi << "," << lo;
      } else {
        ASSERT_EQ(got, B({h * 16 + l})) << "pair " << hi << "," << lo;
      }
    }
  }
}

TEST(HexDecode, NulIsAnInvalidCharacterAndLengthIsTheTextLength) {
  // A NUL inside the text ends decoding like any invalid character; the
  // text's length, not the NUL, decides what is looked at.
  const std::string with_nul("12\0" "034", 6);
  EXPECT_EQ(from_hex(with_nul.data(), with_nul.size()), B({0x12}));
  EXPECT_EQ(from_hex(with_nul), B({0x12}));
  const std::string nul_pair("\0\0" "12", 4);
  EXPECT_TRUE(from_hex(nul_pair).empty());
  const std::string nul_last("1234\0", 5);
  EXPECT_EQ(from_hex(nul_last), B({0x12, 0x34}));

  // Only the given number of characters is read; the run needs no terminator.
  const char run[6] = {'A', 'B', 'C', 'D', 'E', 'F'};
  EXPECT_EQ(from_hex(run, 6), B({0xAB, 0xCD, 0xEF}));
  EXPECT_EQ(from_hex(run, 4), B({0xAB, 0xCD}));
  EXPECT_EQ(from_hex(run, 3), B({0xAB}));
  EXPECT_EQ(from_hex(run, 1), ByteBuffer{});
  EXPECT_EQ(from_hex(run, 0), ByteBuffer{});
}

TEST(HexCodec, RoundTripsRandomTextsAndBytes) {
  std::mt19937 rng(20260611);
  static const char digits[] = "0123456789abcdefABCDEF";
  std::uniform_int_distribution<int> pick(0, 21);
  std::uniform_int_distribution<int> pairs(0, 300);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int round = 0; round < 2000; ++round) {
    // A valid even-length text in mixed case decodes to half as many bytes,
    // and encoding them gives the same text in upper case.
    const int n = pairs(rng);
    std::string text;
    for (int i = 0; i < 2 * n; ++i) text.push_back(digits[pick(rng)]);
    std::string upper = text;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const ByteBuffer decoded = from_hex(text);
    ASSERT_EQ(decoded.size(), static_cast<std::size_t>(n)) << text;
    ASSERT_EQ(to_hex(decoded), upper) << text;
    for (int i = 0; i < n; ++i)
      ASSERT_EQ(decoded[i], digit_value(static_cast<unsigned char>(text[2 * i])) * 16 +
                                digit_value(static_cast<unsigned char>(text[2 * i + 1])))
          << text;

    // Any bytes survive encoding and decoding unchanged.
    ByteBuffer bytes(static_cast<std::size_t>(pairs(rng)));
    for (auto& b : bytes) b = static_cast<std::uint8_t>(byte(rng));
    ASSERT_EQ(from_hex(to_hex(bytes)), bytes);
  }
}

TEST(HexConcat, AppendsAndLeavesTheOperandsUnchanged) {
  const ByteBuffer header = B({0x80, 0xCA, 0x9F, 0x7F});
  ByteBuffer a = header;
  EXPECT_EQ(concat(a, static_cast<std::uint8_t>(0x2D)), B({0x80, 0xCA, 0x9F, 0x7F, 0x2D}));
  EXPECT_EQ(a, header);

  const ByteBuffer tail_value = B({0xA0, 0x00, 0x00, 0x00, 0x03});
  ByteBuffer select = B({0x00, 0xA4, 0x04, 0x00, 0x05});
  ByteBuffer tail = tail_value;
  EXPECT_EQ(concat(select, tail), B({0x00, 0xA4, 0x04, 0x00, 0x05, 0xA0, 0x00, 0x00, 0x00, 0x03}));
  EXPECT_EQ(select, B({0x00, 0xA4, 0x04, 0x00, 0x05}));
  EXPECT_EQ(tail, tail_value);

  // Empty operands, and a buffer appended to itself.
  EXPECT_EQ(concat(ByteBuffer{}, ByteBuffer{}), ByteBuffer{});
  EXPECT_EQ(concat(ByteBuffer{}, tail), tail_value);
  EXPECT_EQ(concat(tail, ByteBuffer{}), tail_value);
  EXPECT_EQ(concat(ByteBuffer{}, static_cast<std::uint8_t>(0x00)), B({0x00}));
  EXPECT_EQ(concat(tail, tail), concat(tail_value, tail_value));
  EXPECT_EQ(concat(tail, tail).size(), 10u);
  EXPECT_EQ(tail, tail_value);
}

}  // namespace
