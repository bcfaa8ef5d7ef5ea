#ifndef VELMO_TOOLS_VELMO_DIAG_DIAG_COMMANDS_H_
#define VELMO_TOOLS_VELMO_DIAG_DIAG_COMMANDS_H_

#include <ostream>
#include <string>
#include <vector>

#include "common/console_tool.h"

namespace velmo::diag {

using tools::kExitFailure;
using tools::kExitSuccess;
using tools::kExitUsage;

// Runs one velmo-diag subcommand. `args` excludes the program name. Results go
// to `out` as one JSON object per line; a failure writes exactly the message
// the assistant would show, as one line, to `err`.
int run_diag(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace velmo::diag

#endif  // VELMO_TOOLS_VELMO_DIAG_DIAG_COMMANDS_H_
