#ifndef VELMO_TOOLS_COMMON_CONSOLE_TOOL_H_
#define VELMO_TOOLS_COMMON_CONSOLE_TOOL_H_

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

// What the console tools share: exit codes, one JSON object per output line,
// one-line failures, and an entry point that reads the command line as UTF-8.
namespace velmo::tools {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

using Arguments = std::vector<std::string>;

// A tool: runs the subcommand named by args[0] (the program name is not in
// `args`), results to `out`, a failure as one line to `err`.
using Tool = int (*)(const Arguments& args, std::ostream& out, std::ostream& err);

// One JSON value on its own line. Invalid UTF-8 (a lossy path) is replaced
// rather than aborting the tool.
template <typename Json>
void print_json(std::ostream& out, const Json& value) {
  out << value.dump(-1, ' ', false, Json::error_handler_t::replace) << '\n';
}

// Writes the message as one line and returns kExitFailure.
int print_failure(std::ostream& err, const std::string& message);

// Writes the usage text and returns kExitUsage.
int print_usage(std::ostream& err, std::string_view usage);

// The process entry: arguments converted to UTF-8 (from UTF-16 on Windows),
// output written as raw UTF-8 bytes with "\n" line ends whatever the console
// code page, stdout flushed before the exit code is returned.
#ifdef _WIN32
int console_main(int argc, wchar_t** argv, Tool tool);
#else
int console_main(int argc, char** argv, Tool tool);
#endif

}  // namespace velmo::tools

#endif  // VELMO_TOOLS_COMMON_CONSOLE_TOOL_H_
