#include "apdu/hex.h"

namespace {

const char DIGITS[] = "0123456789ABCDEF";

int nibble(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

HexString to_hex(const std::uint8_t* bytes, std::size_t length) {
  HexString text;
  text.reserve(length * 2);
  for (std::size_t i = 0; i < length; ++i) {
    text.push_back(DIGITS[bytes[i] >> 4]);
    text.push_back(DIGITS[bytes[i] & 0x0F]);
  }
  return text;
}

HexString to_hex(const ByteBuffer& bytes) { return to_hex(bytes.data(), bytes.size()); }

void append_hex(ByteBuffer& out, const char* text, std::size_t length) {
  out.reserve(out.size() + length / 2);
  for (std::size_t i = 1; i < length; i += 2) {
    const int high = nibble(text[i - 1]);
    const int low = nibble(text[i]);
    if (high < 0 || low < 0) break;
    out.push_back(static_cast<std::uint8_t>(high * 16 + low));
  }
}

ByteBuffer from_hex(const char* text, std::size_t length) {
  ByteBuffer bytes;
  append_hex(bytes, text, length);
  return bytes;
}

ByteBuffer from_hex(const HexString& text) { return from_hex(text.data(), text.size()); }

ByteBuffer concat(ByteBuffer a, const ByteBuffer& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

ByteBuffer concat(ByteBuffer a, std::uint8_t b) {
  a.push_back(b);
  return a;
}
