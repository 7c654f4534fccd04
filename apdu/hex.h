// Hexadecimal text and byte buffers: the form commands are written in and the
// form every byte sequence on the console takes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Bytes with value semantics, contiguous: the form in which commands are sent.
using ByteBuffer = std::vector<std::uint8_t>;
// Hex digit pairs; produced in upper case without separators, read in either case.
using HexString = std::string;

HexString to_hex(const std::uint8_t* bytes, std::size_t length);
HexString to_hex(const ByteBuffer& bytes);

// Decodes whole digit pairs from the start of the text and stops quietly at
// its end, at a lone last character, or at the first pair that is not two
// hex digits.
ByteBuffer from_hex(const char* text, std::size_t length);
ByteBuffer from_hex(const HexString& text);
// The same decoding, appending to out: builds a command in one buffer.
void append_hex(ByteBuffer& out, const char* text, std::size_t length);

ByteBuffer concat(ByteBuffer a, const ByteBuffer& b);
ByteBuffer concat(ByteBuffer a, std::uint8_t b);
