#include "common/console_tool.h"
#include "velmo-pack/pack_commands.h"

#ifdef _WIN32
#include <iostream>

#include "platform/win/system_dll_search.h"
#endif

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  // Before anything loads a DLL; writing the message to the console loads
  // none.
  if (const velmo::Status search = velmo::restrict_dll_search_to_system32(); !search) {
    return velmo::tools::print_failure(std::cerr, search.error());
  }
  return velmo::tools::console_main(argc, argv, velmo::pack::run_pack);
}
#else
int main(int argc, char** argv) {
  return velmo::tools::console_main(argc, argv, velmo::pack::run_pack);
}
#endif
