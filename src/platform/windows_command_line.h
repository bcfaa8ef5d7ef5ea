#ifndef VELMO_PLATFORM_WINDOWS_COMMAND_LINE_H_
#define VELMO_PLATFORM_WINDOWS_COMMAND_LINE_H_

#include <string>
#include <string_view>
#include <vector>

namespace velmo {

// The text CreateProcessW needs for a program and its arguments, quoted so
// that the child's standard splitting (CommandLineToArgvW, the C runtime)
// gives back exactly these arguments. Pure text work, testable anywhere.
//
// The program is always enclosed in double quotes: its own parsing knows no
// escapes, and a path never holds a double quote.
std::string build_windows_command_line(std::string_view program,
                                       const std::vector<std::string>& arguments);

// One argument: unchanged when it needs no quoting, else in double quotes
// with backslashes doubled where they precede a quote or the closing quote.
std::string quote_windows_argument(std::string_view argument);

}  // namespace velmo

#endif  // VELMO_PLATFORM_WINDOWS_COMMAND_LINE_H_
