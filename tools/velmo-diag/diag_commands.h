#ifndef VELMO_TOOLS_VELMO_DIAG_DIAG_COMMANDS_H_
#define VELMO_TOOLS_VELMO_DIAG_DIAG_COMMANDS_H_

#include <ostream>
#include <string>
#include <vector>

namespace velmo::diag {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// Runs one velmo-diag subcommand. `args` excludes the program name. Results go
// to `out` as one JSON object per line; a failure writes exactly the message
// the assistant would show, as one line, to `err`.
int run_diag(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace velmo::diag

#endif  // VELMO_TOOLS_VELMO_DIAG_DIAG_COMMANDS_H_
