#include <iostream>
#include <string>
#include <vector>

#include "velmo-pack/pack_commands.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include "platform/win/wide.h"

// Arguments arrive as UTF-16 and are handed on as UTF-8; output is written as
// raw UTF-8 bytes with "\n" line ends, whatever the console code page.
int wmain(int argc, wchar_t** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    args.push_back(velmo::from_wide(argv[i]));
  }
  const int code = velmo::pack::run_pack(args, std::cout, std::cerr);
  std::cout.flush();
  return code;
}
#else
int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  const int code = velmo::pack::run_pack(args, std::cout, std::cerr);
  std::cout.flush();
  return code;
}
#endif
