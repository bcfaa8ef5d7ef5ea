// Fuzzes the version rules: is_valid_version, parse_version and
// compare_versions must tell one consistent story about any text.
//
// Input: two texts split at the first line feed; the last bytes also pick a
// third, always valid version.

#include <fuzzer/FuzzedDataProvider.h>

#include <compare>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "fuzz_input.h"
#include "network/version.h"

namespace velmo::fuzz {
namespace {

std::string write_plainly(const VersionTriple& version) {
  return std::to_string(version.major) + "." + std::to_string(version.minor) + "." +
         std::to_string(version.patch);
}

bool within_bound(const VersionTriple& version) {
  return version.major <= kMaxVersionComponent && version.minor <= kMaxVersionComponent &&
         version.patch <= kMaxVersionComponent;
}

// A valid version allows no sign, space or leading zero, so it is the only
// way to write its numbers: writing them back must give the text itself.
// That catches any text accepted beyond the rule.
void check_single_text(std::string_view text) {
  const Result<VersionTriple> parsed = parse_version(text);
  require(is_valid_version(text) == parsed.has_value(),
          "is_valid_version agrees with parse_version");
  if (!parsed) {
    require(parsed.error() == "版本号格式无效：" + std::string(text),
            "parse_version names the text it refused");
    return;
  }
  require(within_bound(*parsed), "parsed components are at most kMaxVersionComponent");
  require(write_plainly(*parsed) == text, "a valid version is its numbers written plainly");
}

// The converse: numbers within the bound, written plainly, are always
// accepted and read back unchanged. That catches valid texts refused.
void check_plain_triple(const VersionTriple& version) {
  const Result<VersionTriple> parsed = parse_version(write_plainly(version));
  require(parsed.has_value() && *parsed == version, "plainly written numbers parse back");
}

// Component by component, spelled out instead of VersionTriple's <=>.
std::strong_ordering numeric_order(const VersionTriple& a, const VersionTriple& b) {
  if (a.major != b.major) {
    return a.major <=> b.major;
  }
  if (a.minor != b.minor) {
    return a.minor <=> b.minor;
  }
  return a.patch <=> b.patch;
}

// compare_versions(a, b) against the parse results of a and b.
void check_comparison(std::string_view a, std::string_view b) {
  const Result<std::strong_ordering> order = compare_versions(a, b);
  const Result<VersionTriple> left = parse_version(a);
  const Result<VersionTriple> right = parse_version(b);
  if (!left || !right) {
    require(!order.has_value(), "comparing an invalid version fails");
    const std::string& first_error = !left ? left.error() : right.error();
    require(order.error() == first_error, "comparison reports the first invalid version");
    return;
  }
  require(order.has_value(), "comparing two valid versions succeeds");
  require(*order == numeric_order(*left, *right), "comparison is numeric, major first");
  require((*order == 0) == (a == b), "versions compare equal exactly when their texts are equal");
}

// Swapping the operands reverses the order.
void check_antisymmetry(std::string_view a, std::string_view b) {
  const Result<std::strong_ordering> forward = compare_versions(a, b);
  const Result<std::strong_ordering> backward = compare_versions(b, a);
  require(forward.has_value() == backward.has_value(), "comparison fails in both directions");
  if (forward) {
    require(*backward == (0 <=> *forward), "compare_versions is antisymmetric");
  }
}

VersionTriple consume_triple(FuzzedDataProvider& provider) {
  VersionTriple version;
  version.major = provider.ConsumeIntegralInRange<uint32_t>(0, kMaxVersionComponent);
  version.minor = provider.ConsumeIntegralInRange<uint32_t>(0, kMaxVersionComponent);
  version.patch = provider.ConsumeIntegralInRange<uint32_t>(0, kMaxVersionComponent);
  return version;
}

}  // namespace
}  // namespace velmo::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace velmo::fuzz;
  const TextPair texts = split_at_line_feed(as_text(data, size));
  FuzzedDataProvider provider(data, size);
  const velmo::VersionTriple third = consume_triple(provider);
  const std::string third_text = write_plainly(third);

  check_single_text(texts.first);
  check_single_text(texts.second);
  check_plain_triple(third);
  check_comparison(texts.first, texts.second);
  check_comparison(texts.second, texts.first);
  check_comparison(texts.first, third_text);
  check_antisymmetry(texts.first, texts.second);
  check_antisymmetry(texts.first, third_text);
  return 0;
}
