#include "common/console_tool.h"

#include <cstdio>
#include <ostream>

#include "common/line_buffer.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include "platform/win/wide.h"
#endif

namespace velmo::tools {

namespace {

// Standard output and error through line buffers: each line leaves in one
// system write, and everything is handed over before the exit code returns.
int run_with_line_output(const Arguments& args, Tool tool) {
#ifdef _WIN32
  LineBuffer out_lines(descriptor_sink(_fileno(stdout)));
  LineBuffer err_lines(descriptor_sink(_fileno(stderr)));
#else
  LineBuffer out_lines(descriptor_sink(fileno(stdout)));
  LineBuffer err_lines(descriptor_sink(fileno(stderr)));
#endif
  std::ostream out(&out_lines);
  std::ostream err(&err_lines);
  const int code = tool(args, out, err);
  out.flush();
  err.flush();
  return code;
}

}  // namespace

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
  return run_with_line_output(args, tool);
}
#else
int console_main(int argc, char** argv, Tool tool) {
  const Arguments args(argv + 1, argv + argc);
  return run_with_line_output(args, tool);
}
#endif

}  // namespace velmo::tools
