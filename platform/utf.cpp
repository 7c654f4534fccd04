#include "platform/utf.h"

namespace quillon_utf {

namespace {

constexpr char32_t REPLACEMENT = 0xFFFD;
// Bytes of ill-formed UTF-8 (0x80..0xFF) kept as lone low surrogates,
// U+DC80..U+DCFF: KEPT_BYTE_BASE + byte.
constexpr char16_t KEPT_BYTE_BASE = 0xDC00;
constexpr char16_t KEPT_BYTE_FIRST = KEPT_BYTE_BASE + 0x80;
constexpr char16_t KEPT_BYTE_LAST = KEPT_BYTE_BASE + 0xFF;

void put_ill_formed(std::u16string& out, const unsigned char* bytes, std::size_t count, Malformed malformed) {
  if (malformed == Malformed::replace) {
    out.push_back(static_cast<char16_t>(REPLACEMENT));
    return;
  }
  for (std::size_t k = 0; k < count; ++k) out.push_back(static_cast<char16_t>(KEPT_BYTE_BASE + bytes[k]));
}

void put_utf16(std::u16string& out, char32_t c) {
  if (c < 0x10000) {
    out.push_back(static_cast<char16_t>(c));
  } else {
    c -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
  }
}

void put_utf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

}  // namespace

std::u16string utf8_to_utf16(const char* text, std::size_t length, Malformed malformed) {
  std::u16string out;
  out.reserve(length);
  const auto* s = reinterpret_cast<const unsigned char*>(text);
  std::size_t i = 0;
  while (i < length) {
    const unsigned char b = s[i];
    if (b < 0x80) {
      out.push_back(b);
      ++i;
      continue;
    }
    // Lead byte: how many continuation bytes follow, and the range the
    // second byte must lie in (this rules out overlong forms, surrogates and
    // values above U+10FFFF).
    int more = 0;
    unsigned char lo = 0x80, hi = 0xBF;
    char32_t c = 0;
    if (b >= 0xC2 && b <= 0xDF) {
      more = 1;
      c = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      more = 2;
      c = b & 0x0F;
      if (b == 0xE0) lo = 0xA0;
      if (b == 0xED) hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      more = 3;
      c = b & 0x07;
      if (b == 0xF0) lo = 0x90;
      if (b == 0xF4) hi = 0x8F;
    } else {
      put_ill_formed(out, s + i, 1, malformed);
      ++i;
      continue;
    }
    // Take continuation bytes as long as they are valid; a sequence cut short
    // is one ill-formed subsequence, and the byte that cut it starts afresh.
    std::size_t j = i + 1;
    int taken = 0;
    while (taken < more && j < length) {
      const unsigned char t = s[j];
      const unsigned char min = taken == 0 ? lo : 0x80;
      const unsigned char max = taken == 0 ? hi : 0xBF;
      if (t < min || t > max) break;
      c = (c << 6) | (t & 0x3F);
      ++j;
      ++taken;
    }
    if (taken == more)
      put_utf16(out, c);
    else
      put_ill_formed(out, s + i, j - i, malformed);
    i = j;
  }
  return out;
}

std::string utf16_to_utf8(const char16_t* text, std::size_t length, Malformed malformed) {
  std::string out;
  out.reserve(length * 3);
  for (std::size_t i = 0; i < length; ++i) {
    const char16_t u = text[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      put_utf8(out, 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
      ++i;
    } else if (malformed == Malformed::keep_bytes && u >= KEPT_BYTE_FIRST && u <= KEPT_BYTE_LAST) {
      out.push_back(static_cast<char>(u - KEPT_BYTE_BASE));  // a byte kept from ill-formed UTF-8
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      put_utf8(out, REPLACEMENT);  // unpaired surrogate
    } else {
      put_utf8(out, u);
    }
  }
  return out;
}

}  // namespace quillon_utf
