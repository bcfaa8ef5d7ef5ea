#ifndef VELMO_PLATFORM_UTF_H_
#define VELMO_PLATFORM_UTF_H_

#include <string>
#include <string_view>

namespace velmo {

// Texts are UTF-8 inside the program and UTF-16 at every Windows call. Both
// directions are lossy: anything that is not valid in the source encoding
// (a stray byte, an overlong form, an unpaired surrogate) becomes U+FFFD, so a
// damaged path or message still shows instead of failing the operation.
std::u16string utf8_to_utf16(std::string_view utf8);
std::string utf16_to_utf8(std::u16string_view utf16);

// Whether the bytes are well-formed UTF-8 (no overlong forms, surrogates or
// values above U+10FFFF).
bool is_valid_utf8(std::string_view utf8);

// The text without Unicode White_Space (line breaks, NBSP, ideographic
// space and the rest of the property) at either end. Invalid sequences are
// not white space and stay.
std::string_view trim_white_space(std::string_view utf8);

}  // namespace velmo

#endif  // VELMO_PLATFORM_UTF_H_
