#ifndef VELMO_PLATFORM_WIN_WIDE_H_
#define VELMO_PLATFORM_WIN_WIDE_H_

#include <string>
#include <string_view>

#include "platform/utf.h"

namespace velmo {

// wchar_t is UTF-16 on Windows; these only change the character type of the
// lossy conversions so every Windows call site reads the same.
inline std::wstring to_wide(std::string_view utf8) {
  const std::u16string u16 = utf8_to_utf16(utf8);
  return std::wstring(u16.begin(), u16.end());
}

inline std::string from_wide(std::wstring_view wide) {
  return utf16_to_utf8(
      std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

static_assert(sizeof(wchar_t) == sizeof(char16_t));

}  // namespace velmo

#endif  // VELMO_PLATFORM_WIN_WIDE_H_
