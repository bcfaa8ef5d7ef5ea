#ifndef VELMO_TOOLS_VELMO_DIAG_DIAG_COMMANDS_H_
#define VELMO_TOOLS_VELMO_DIAG_DIAG_COMMANDS_H_

#include <ostream>
#include <string>
#include <vector>

#include "common/console_tool.h"
#include "velmo-diag/diag_options.h"

namespace velmo::diag {

using tools::kExitFailure;
using tools::kExitSuccess;
using tools::kExitUsage;

// Runs one velmo-diag subcommand. `args` excludes the program name. Results go
// to `out` as one JSON object per line; a failure writes exactly the message
// the assistant would show, as one line, to `err`.
int run_diag(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The same under the given rule for plain-HTTP endpoints instead of this
// build's, so that one build can show both answers.
int run_diag_under(HttpEndpoints http_endpoints,
                   const std::vector<std::string>& args,
                   std::ostream& out,
                   std::ostream& err);

}  // namespace velmo::diag

#endif  // VELMO_TOOLS_VELMO_DIAG_DIAG_COMMANDS_H_
