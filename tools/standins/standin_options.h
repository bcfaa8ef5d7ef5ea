// The settings of a stand-in program: one environment variable holding a
// comma-separated list of "name" and "name=value" items. The tests set it in
// the parent process; the program under test never knows it talks to a
// stand-in. Values cannot contain commas, which no setting needs.
#ifndef VELMO_TOOLS_STANDINS_STANDIN_OPTIONS_H_
#define VELMO_TOOLS_STANDINS_STANDIN_OPTIONS_H_

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmo::standin {

// The stand-ins refuse settings they do not understand with this code, as
// Windows programs do for a bad parameter, and change nothing.
inline constexpr int kMalformedSettings = ERROR_INVALID_PARAMETER;

struct Setting {
  std::wstring name;
  std::optional<std::wstring> value;
};

// The variable's value; unset and empty are the same: all defaults.
inline std::wstring environment_variable(const wchar_t* name) {
  const DWORD size = ::GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0) {
    return {};
  }
  std::wstring value(size, L'\0');
  value.resize(::GetEnvironmentVariableW(name, value.data(), size));
  return value;
}

// Nothing when an item is empty ("a,,b" or a trailing comma): a typing error
// in a test must not silently fall back to a default.
inline std::optional<std::vector<Setting>> split_settings(std::wstring_view text) {
  std::vector<Setting> settings;
  if (text.empty()) {
    return settings;
  }
  for (;;) {
    const size_t comma = text.find(L',');
    const std::wstring_view item = text.substr(0, comma);
    if (item.empty()) {
      return std::nullopt;
    }
    const size_t equals = item.find(L'=');
    if (equals == std::wstring_view::npos) {
      settings.push_back({std::wstring(item), std::nullopt});
    } else {
      settings.push_back(
          {std::wstring(item.substr(0, equals)), std::wstring(item.substr(equals + 1))});
    }
    if (comma == std::wstring_view::npos) {
      return settings;
    }
    text.remove_prefix(comma + 1);
  }
}

// An optional sign and 1 to 10 decimal digits, within the signed 32-bit
// range: exit codes such as 0xC0000005 are written as negative numbers.
inline std::optional<int32_t> parse_int32(std::wstring_view text) {
  const bool negative = !text.empty() && text.front() == L'-';
  if (negative || (!text.empty() && text.front() == L'+')) {
    text.remove_prefix(1);
  }
  if (text.empty() || text.size() > 10) {
    return std::nullopt;
  }
  int64_t magnitude = 0;
  for (const wchar_t c : text) {
    if (c < L'0' || c > L'9') {
      return std::nullopt;
    }
    magnitude = magnitude * 10 + (c - L'0');
  }
  const int64_t value = negative ? -magnitude : magnitude;
  if (value < INT32_MIN || value > INT32_MAX) {
    return std::nullopt;
  }
  return static_cast<int32_t>(value);
}

// Whole seconds up to a day: longer waits are a mistake in a test.
inline std::optional<DWORD> parse_seconds(std::wstring_view text) {
  const std::optional<int32_t> value = parse_int32(text);
  if (!value || *value < 0 || *value > 86400 || text.front() == L'+' || text.front() == L'-') {
    return std::nullopt;
  }
  return static_cast<DWORD>(*value);
}

// Dot-separated decimal numbers, "120.0.2210.91" or "1.0.0": the value ends
// up in a folder name and a window title, so nothing else is let through.
inline bool is_dotted_version(std::wstring_view text) {
  if (text.empty() || text.size() > 64 || text.front() == L'.' || text.back() == L'.') {
    return false;
  }
  wchar_t previous = L'\0';
  for (const wchar_t c : text) {
    const bool digit = c >= L'0' && c <= L'9';
    if (!digit && (c != L'.' || previous == L'.')) {
      return false;
    }
    previous = c;
  }
  return true;
}

// Reads the settings in `variable` into a default Behaviour: the one setting
// named `flag` (no value) calls set_flag, every "name=value" goes to
// apply(name, value, behaviour). Nothing when a setting is malformed or
// apply refuses it: a stand-in never guesses what a test meant.
template <typename Behaviour, typename SetFlag, typename Apply>
std::optional<Behaviour> read_settings(const wchar_t* variable,
                                       std::wstring_view flag,
                                       SetFlag set_flag,
                                       Apply apply) {
  const std::optional<std::vector<Setting>> settings =
      split_settings(environment_variable(variable));
  if (!settings) {
    return std::nullopt;
  }
  Behaviour behaviour;
  for (const Setting& setting : *settings) {
    if (setting.name == flag && !setting.value) {
      set_flag(behaviour);
      continue;
    }
    if (!setting.value || !apply(setting.name, *setting.value, behaviour)) {
      return std::nullopt;
    }
  }
  return behaviour;
}

}  // namespace velmo::standin

#endif  // VELMO_TOOLS_STANDINS_STANDIN_OPTIONS_H_
