#ifndef VELMO_TESTS_FUZZ_FUZZ_INPUT_H_
#define VELMO_TESTS_FUZZ_FUZZ_INPUT_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace velmo::fuzz {

// The raw fuzz input as text.
inline std::string_view as_text(const uint8_t* data, size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// Two texts from one input, split at the first line feed, so that seed
// files stay readable ("first\nsecond"). The second may hold more line feeds.
struct TextPair {
  std::string_view first;
  std::string_view second;
};

inline TextPair split_at_line_feed(std::string_view input) {
  const size_t cut = input.find('\n');
  if (cut == std::string_view::npos) {
    return {input, {}};
  }
  return {input.substr(0, cut), input.substr(cut + 1)};
}

}  // namespace velmo::fuzz

#endif  // VELMO_TESTS_FUZZ_FUZZ_INPUT_H_
