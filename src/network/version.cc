#include "network/version.h"

#include <optional>
#include <string>

namespace velmo {

namespace {

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// Reads one component at `pos` and moves `pos` past it. The bound is checked
// after every digit, so an arbitrarily long digit string cannot overflow.
std::optional<uint32_t> scan_component(std::string_view text, size_t& pos) {
  if (pos >= text.size() || !is_digit(text[pos])) {
    return std::nullopt;
  }
  if (text[pos] == '0') {
    // "0" is a whole component; in "01" the "1" then fails the check for the
    // dot or the end that must follow.
    ++pos;
    return 0u;
  }
  uint32_t value = 0;
  while (pos < text.size() && is_digit(text[pos])) {
    value = value * 10 + static_cast<uint32_t>(text[pos] - '0');
    if (value > kMaxVersionComponent) {
      return std::nullopt;
    }
    ++pos;
  }
  return value;
}

// The one left-to-right scan behind every version function.
std::optional<VersionTriple> scan_version(std::string_view text) {
  uint32_t parts[3] = {};
  size_t pos = 0;
  for (size_t i = 0; i < 3; ++i) {
    if (i > 0) {
      if (pos >= text.size() || text[pos] != '.') {
        return std::nullopt;
      }
      ++pos;
    }
    const std::optional<uint32_t> part = scan_component(text, pos);
    if (!part) {
      return std::nullopt;
    }
    parts[i] = *part;
  }
  if (pos != text.size()) {
    return std::nullopt;
  }
  return VersionTriple{parts[0], parts[1], parts[2]};
}

}  // namespace

bool is_valid_version(std::string_view text) {
  return scan_version(text).has_value();
}

Result<VersionTriple> parse_version(std::string_view text) {
  const std::optional<VersionTriple> version = scan_version(text);
  if (!version) {
    return fail("版本号格式无效：" + std::string(text));
  }
  return *version;
}

Result<std::strong_ordering> compare_versions(std::string_view a, std::string_view b) {
  const Result<VersionTriple> left = parse_version(a);
  if (!left) {
    return fail(left.error());
  }
  const Result<VersionTriple> right = parse_version(b);
  if (!right) {
    return fail(right.error());
  }
  return *left <=> *right;
}

}  // namespace velmo
