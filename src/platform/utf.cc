#include "platform/utf.h"

#include <algorithm>
#include <cstdint>

namespace velmo {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool is_continuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// Decodes one code point at `pos` and advances it. Invalid input consumes the
// longest prefix that could have started a valid sequence (one U+FFFD per
// maximal invalid subpart, as Unicode recommends).
char32_t decode_utf8(std::string_view s, size_t& pos) {
  const auto lead = static_cast<unsigned char>(s[pos++]);
  if (lead < 0x80) {
    return lead;
  }
  int extra = 0;
  char32_t cp = 0;
  unsigned char lower = 0x80;
  unsigned char upper = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    extra = 1;
    cp = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    extra = 2;
    cp = lead & 0x0F;
    if (lead == 0xE0)
      lower = 0xA0;  // overlong
    if (lead == 0xED)
      upper = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    extra = 3;
    cp = lead & 0x07;
    if (lead == 0xF0)
      lower = 0x90;  // overlong
    if (lead == 0xF4)
      upper = 0x8F;  // above U+10FFFF
  } else {
    return kReplacement;
  }
  for (int i = 0; i < extra; ++i) {
    if (pos >= s.size()) {
      return kReplacement;
    }
    const auto byte = static_cast<unsigned char>(s[pos]);
    const unsigned char lo = i == 0 ? lower : 0x80;
    const unsigned char hi = i == 0 ? upper : 0xBF;
    if (!is_continuation(byte) || byte < lo || byte > hi) {
      return kReplacement;
    }
    cp = (cp << 6) | (byte & 0x3F);
    ++pos;
  }
  return cp;
}

void append_utf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

bool is_high_surrogate(char16_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}

bool is_low_surrogate(char16_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

}  // namespace

std::u16string utf8_to_utf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  size_t pos = 0;
  while (pos < utf8.size()) {
    const char32_t cp = decode_utf8(utf8, pos);
    if (cp < 0x10000) {
      out.push_back(static_cast<char16_t>(cp));
      continue;
    }
    const char32_t v = cp - 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (v >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
  }
  return out;
}

std::string utf16_to_utf8(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (size_t i = 0; i < utf16.size(); ++i) {
    const char16_t unit = utf16[i];
    if (is_high_surrogate(unit) && i + 1 < utf16.size() && is_low_surrogate(utf16[i + 1])) {
      const char32_t cp = 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
      append_utf8(out, cp);
      ++i;
    } else if (is_high_surrogate(unit) || is_low_surrogate(unit)) {
      append_utf8(out, kReplacement);
    } else {
      append_utf8(out, unit);
    }
  }
  return out;
}

namespace {

// The code points with the Unicode White_Space property.
bool is_white_space(char32_t cp) {
  return (cp >= 0x09 && cp <= 0x0D) || cp == 0x20 || cp == 0x85 || cp == 0xA0 || cp == 0x1680 ||
         (cp >= 0x2000 && cp <= 0x200A) || cp == 0x2028 || cp == 0x2029 || cp == 0x202F ||
         cp == 0x205F || cp == 0x3000;
}

}  // namespace

bool is_valid_utf8(std::string_view utf8) {
  size_t pos = 0;
  while (pos < utf8.size()) {
    const size_t start = pos;
    const char32_t cp = decode_utf8(utf8, pos);
    // The decoder answers damage with U+FFFD; only the real character,
    // written out in full, is valid.
    if (cp == kReplacement && utf8.substr(start, pos - start) != "\xEF\xBF\xBD") {
      return false;
    }
  }
  return true;
}

std::string_view trim_white_space(std::string_view utf8) {
  size_t begin = utf8.size();
  size_t end = 0;
  size_t pos = 0;
  while (pos < utf8.size()) {
    const size_t start = pos;
    if (!is_white_space(decode_utf8(utf8, pos))) {
      begin = std::min(begin, start);
      end = pos;
    }
  }
  if (begin >= end) {
    return {};
  }
  return utf8.substr(begin, end - begin);
}

}  // namespace velmo
