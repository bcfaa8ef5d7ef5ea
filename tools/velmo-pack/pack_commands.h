#ifndef VELMO_TOOLS_VELMO_PACK_PACK_COMMANDS_H_
#define VELMO_TOOLS_VELMO_PACK_PACK_COMMANDS_H_

#include <ostream>
#include <string>
#include <vector>

#include "common/console_tool.h"

namespace velmo::pack {

using tools::kExitFailure;
using tools::kExitSuccess;
using tools::kExitUsage;

// Runs one velmo-pack subcommand. `args` excludes the program name. Results go
// to `out` as one JSON object per line; a failure writes one line to `err`:
// the packer's own English message, or the assistant's message unchanged when
// its reader refused the file.
int run_pack(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace velmo::pack

#endif  // VELMO_TOOLS_VELMO_PACK_PACK_COMMANDS_H_
