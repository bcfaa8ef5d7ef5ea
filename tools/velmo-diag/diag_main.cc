#include "common/console_tool.h"
#include "velmo-diag/diag_commands.h"

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  return velmo::tools::console_main(argc, argv, velmo::diag::run_diag);
}
#else
int main(int argc, char** argv) {
  return velmo::tools::console_main(argc, argv, velmo::diag::run_diag);
}
#endif
