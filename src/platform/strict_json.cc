#include "platform/strict_json.h"

#include <set>
#include <string>

namespace velmo {

namespace {

using Json = nlohmann::json;

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// Key sets of the objects being read, innermost last. The parser reports
// keys before their values, so a repeat is seen before it could replace the
// first value.
class DuplicateKeyWatch {
 public:
  bool operator()(int /*depth*/, Json::parse_event_t event, Json& parsed) {
    switch (event) {
      case Json::parse_event_t::object_start:
        open_.emplace_back();
        break;
      case Json::parse_event_t::object_end:
        if (!open_.empty()) {
          open_.pop_back();
        }
        break;
      case Json::parse_event_t::key:
        if (!open_.empty() && !open_.back().insert(parsed.get<std::string>()).second) {
          duplicate_ = true;
        }
        break;
      default:
        break;
    }
    return true;
  }

  bool duplicate() const { return duplicate_; }

 private:
  std::vector<std::set<std::string>> open_;
  bool duplicate_ = false;
};

}  // namespace

std::optional<Json> parse_strict_json(std::string_view text) {
  // nlohmann skips a byte order mark silently, and its lexer takes a NUL
  // byte for the end of the input; both would let through text that other
  // readers refuse.
  if (text.starts_with(kUtf8Bom) || text.find('\0') != std::string_view::npos) {
    return std::nullopt;
  }
  DuplicateKeyWatch watch;
  Json document;
  try {
    document = Json::parse(
        text,
        [&watch](int depth, Json::parse_event_t event, Json& parsed) {
          return watch(depth, event, parsed);
        },
        /*allow_exceptions=*/true, /*ignore_comments=*/false);
  } catch (const Json::exception&) {
    return std::nullopt;
  }
  if (watch.duplicate() || document.is_discarded()) {
    return std::nullopt;
  }
  return document;
}

std::optional<std::vector<const Json*>> record_values(const Json& document,
                                                      std::span<const std::string_view> keys) {
  std::vector<const Json*> values;
  if (document.is_array()) {
    if (document.size() != keys.size()) {
      return std::nullopt;
    }
    for (const Json& value : document) {
      values.push_back(&value);
    }
    return values;
  }
  if (!document.is_object()) {
    return std::nullopt;
  }
  for (std::string_view key : keys) {
    const auto found = document.find(key);
    if (found == document.end()) {
      return std::nullopt;
    }
    values.push_back(&*found);
  }
  return values;
}

}  // namespace velmo
