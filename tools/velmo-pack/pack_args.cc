#include "velmo-pack/pack_args.h"

#include <algorithm>

#include "network/version.h"

namespace velmo::pack {

namespace {

bool contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

bool is_option(const std::string& arg) {
  return arg.size() > 1 && arg.front() == '-';
}

}  // namespace

std::optional<std::string> PackArgs::value(const std::string& name) const {
  const auto found = values.find(name);
  if (found == values.end()) {
    return std::nullopt;
  }
  return found->second;
}

std::optional<PackArgs> parse_pack_args(std::span<const std::string> args,
                                        const CommandSyntax& syntax) {
  PackArgs parsed;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!is_option(arg)) {
      parsed.positionals.push_back(arg);
      continue;
    }
    if (contains(syntax.flags, arg)) {
      if (!parsed.flags.insert(arg).second) {
        return std::nullopt;
      }
      continue;
    }
    if (!contains(syntax.value_options, arg) || i + 1 >= args.size() ||
        parsed.values.contains(arg)) {
      return std::nullopt;
    }
    parsed.values[arg] = args[++i];
  }
  if (parsed.positionals.size() != syntax.positionals) {
    return std::nullopt;
  }
  return parsed;
}

Status check_version_arg(std::string_view option, std::string_view text) {
  if (is_valid_version(text)) {
    return ok();
  }
  return fail("invalid " + std::string(option) + " '" + std::string(text) +
              "': expected MAJOR.MINOR.PATCH, each 0-65535 without leading zeros");
}

}  // namespace velmo::pack
