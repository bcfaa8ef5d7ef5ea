#include "environment/data_directory.h"

#include "platform/file_system.h"

namespace velmo {

std::string data_root() {
  const std::string base = environment_variable("ProgramData").value_or("C:\\ProgramData");
  return path_join(base, "VelmoInstaller");
}

}  // namespace velmo
