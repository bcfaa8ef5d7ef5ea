#include "platform/windows_command_line.h"

namespace velmo {

namespace {

bool needs_quotes(std::string_view argument) {
  return argument.empty() || argument.find_first_of(" \t\n\v\"") != std::string_view::npos;
}

}  // namespace

std::string quote_windows_argument(std::string_view argument) {
  if (!needs_quotes(argument)) {
    return std::string(argument);
  }
  std::string quoted = "\"";
  size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') {
      // 2n+1 backslashes give n backslashes and a literal quote.
      quoted.append(backslashes * 2 + 1, '\\');
    } else {
      quoted.append(backslashes, '\\');
    }
    backslashes = 0;
    quoted.push_back(c);
  }
  // Before the closing quote, 2n backslashes give n.
  quoted.append(backslashes * 2, '\\');
  quoted.push_back('"');
  return quoted;
}

std::string build_windows_command_line(std::string_view program,
                                       const std::vector<std::string>& arguments) {
  std::string line = "\"";
  line.append(program);
  line.push_back('"');
  for (const std::string& argument : arguments) {
    line.push_back(' ');
    line.append(quote_windows_argument(argument));
  }
  return line;
}

}  // namespace velmo
