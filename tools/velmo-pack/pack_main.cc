#include "common/console_tool.h"
#include "velmo-pack/pack_commands.h"

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  return velmo::tools::console_main(argc, argv, velmo::pack::run_pack);
}
#else
int main(int argc, char** argv) {
  return velmo::tools::console_main(argc, argv, velmo::pack::run_pack);
}
#endif
