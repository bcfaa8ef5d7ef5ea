#include "common/console_tool.h"

#include <iostream>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include "platform/win/wide.h"
#endif

namespace velmo::tools {

int print_failure(std::ostream& err, const std::string& message) {
  err << message << '\n';
  return kExitFailure;
}

int print_usage(std::ostream& err, std::string_view usage) {
  err << usage;
  return kExitUsage;
}

#ifdef _WIN32
int console_main(int argc, wchar_t** argv, Tool tool) {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  Arguments args;
  for (int i = 1; i < argc; ++i) {
    args.push_back(from_wide(argv[i]));
  }
  const int code = tool(args, std::cout, std::cerr);
  std::cout.flush();
  return code;
}
#else
int console_main(int argc, char** argv, Tool tool) {
  const Arguments args(argv + 1, argv + argc);
  const int code = tool(args, std::cout, std::cerr);
  std::cout.flush();
  return code;
}
#endif

}  // namespace velmo::tools
