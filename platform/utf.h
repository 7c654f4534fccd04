// UTF-8 <-> UTF-16 conversion used by the pcsc-lite adapter. Malformed input
// becomes U+FFFD, one replacement per maximal ill-formed subsequence, as
// Windows' own converters do.
#pragma once

#include <cstddef>
#include <string>

namespace quillon_utf {

std::u16string utf8_to_utf16(const char* text, std::size_t length);
std::string utf16_to_utf8(const char16_t* text, std::size_t length);

}  // namespace quillon_utf
