#ifndef VELMO_NETWORK_VERSION_H_
#define VELMO_NETWORK_VERSION_H_

#include <compare>
#include <cstdint>
#include <string_view>

#include "platform/result.h"

namespace velmo {

// Largest value one version component may hold.
inline constexpr uint32_t kMaxVersionComponent = 65535;

// A workbench version "MAJOR.MINOR.PATCH" as the policy service writes it.
struct VersionTriple {
  uint32_t major = 0;
  uint32_t minor = 0;
  uint32_t patch = 0;

  auto operator<=>(const VersionTriple&) const = default;
};

// True for exactly three decimal components joined by single dots, each "0"
// or a number without leading zeros of at most kMaxVersionComponent, and
// nothing else: no sign, space, prefix or suffix.
bool is_valid_version(std::string_view text);

// The components of a valid version; otherwise "版本号格式无效：{text}".
Result<VersionTriple> parse_version(std::string_view text);

// Compares two versions numerically, component by component (1.10.0 is newer
// than 1.9.0). Fails with parse_version's message for the first invalid one,
// `a` before `b`.
Result<std::strong_ordering> compare_versions(std::string_view a, std::string_view b);

}  // namespace velmo

#endif  // VELMO_NETWORK_VERSION_H_
