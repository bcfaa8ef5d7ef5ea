#ifndef VELMO_PLATFORM_STRICT_JSON_H_
#define VELMO_PLATFORM_STRICT_JSON_H_

#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace velmo {

// Parses one JSON document for a record the program trusts: nothing when
// the text is not valid JSON (strings must be valid UTF-8), when anything
// but whitespace follows the document, when it starts with a byte order
// mark or holds a NUL byte, or when any object repeats a key (different
// readers keep different copies, so the record would be ambiguous).
std::optional<nlohmann::json> parse_strict_json(std::string_view text);

// The values of a record with these keys, in the keys' order. The record is
// either an object holding each key (others are ignored) or an array of
// exactly these values in this order. Nothing for any other shape.
std::optional<std::vector<const nlohmann::json*>> record_values(
    const nlohmann::json& document,
    std::span<const std::string_view> keys);

}  // namespace velmo

#endif  // VELMO_PLATFORM_STRICT_JSON_H_
