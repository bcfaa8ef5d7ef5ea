#ifndef VELMO_MAIN_COMMAND_LINE_H_
#define VELMO_MAIN_COMMAND_LINE_H_

#include <string>
#include <string_view>
#include <vector>

namespace velmo {

// Splits a wide command line the way Windows programs do (the rules of
// CommandLineToArgvW): spaces and tabs separate, double quotes group,
// backslashes are literal except before a double quote, where 2n backslashes
// give n and a quote toggle and 2n+1 give n and a literal quote. The first
// argument (the program) ends at the next quote if it starts with one, else
// at the first blank, with no escapes. Arguments come back as UTF-8 (lossy).
// An empty command line gives no arguments.
std::vector<std::string> split_command_line(std::u16string_view command_line);

}  // namespace velmo

#endif  // VELMO_MAIN_COMMAND_LINE_H_
