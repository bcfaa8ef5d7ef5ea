#ifndef VELMO_PLATFORM_ASCII_H_
#define VELMO_PLATFORM_ASCII_H_

#include <string>
#include <string_view>

namespace velmo {

// ASCII-only text rules. Digests, path comparisons and protocol tokens are
// compared this way on purpose: no locale, no Unicode case folding.

inline char ascii_upper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

inline bool is_hex_digit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

inline std::string to_ascii_upper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    c = ascii_upper(c);
  }
  return upper;
}

inline bool equal_ignoring_ascii_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (size_t i = 0; i < a.size(); ++i) {
    if (ascii_upper(a[i]) != ascii_upper(b[i])) {
      return false;
    }
  }
  return true;
}

}  // namespace velmo

#endif  // VELMO_PLATFORM_ASCII_H_
