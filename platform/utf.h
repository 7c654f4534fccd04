// UTF-8 <-> UTF-16 conversion used by the pcsc-lite adapter.
#pragma once

#include <cstddef>
#include <string>

namespace quillon_utf {

// What becomes of text that is not well formed.
//  - replace: each maximal ill-formed subsequence of UTF-8 becomes one
//    U+FFFD, and so does each unpaired surrogate of UTF-16, as Windows' own
//    converters do. For text that is shown.
//  - keep_bytes: each byte of an ill-formed subsequence of UTF-8 (always
//    0x80 or above) is held as the lone low surrogate U+DC00 + byte, and such
//    a surrogate turns back into its byte, so that any byte string survives
//    the way to UTF-16 and back unchanged. For names that go back to the
//    platform that gave them.
enum class Malformed { replace, keep_bytes };

std::u16string utf8_to_utf16(const char* text, std::size_t length, Malformed malformed = Malformed::replace);
std::string utf16_to_utf8(const char16_t* text, std::size_t length, Malformed malformed = Malformed::replace);

}  // namespace quillon_utf
