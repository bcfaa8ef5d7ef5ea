#ifndef VELMO_TOOLS_VELMO_PACK_PACK_ARGS_H_
#define VELMO_TOOLS_VELMO_PACK_PACK_ARGS_H_

#include <cstddef>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"

namespace velmo::pack {

// What one subcommand accepts after its name.
struct CommandSyntax {
  std::vector<std::string> value_options;  // "--name VALUE"
  std::vector<std::string> flags;          // "--name"
  size_t positionals = 0;                  // exactly this many plain arguments
};

struct PackArgs {
  std::map<std::string, std::string> values;
  std::set<std::string> flags;
  std::vector<std::string> positionals;

  bool has_flag(const std::string& name) const { return flags.contains(name); }
  std::optional<std::string> value(const std::string& name) const;
};

// Splits a subcommand's arguments (without its name). Nothing when an option
// is unknown, given twice or lacks its value, or when the number of plain
// arguments differs from the syntax: the caller then prints the usage. Any
// argument starting with "-" is taken for an option, so a typo in an option
// name is never read as a file name.
std::optional<PackArgs> parse_pack_args(std::span<const std::string> args,
                                        const CommandSyntax& syntax);

// A release version given on the command line: the message names the option
// so the engineer knows which one to fix.
Status check_version_arg(std::string_view option, std::string_view text);

}  // namespace velmo::pack

#endif  // VELMO_TOOLS_VELMO_PACK_PACK_ARGS_H_
