#include "environment/data_directory.h"

#include "platform/file_system.h"

namespace velmo {

std::string data_root() {
  return environment_variable("ProgramData").value_or("C:\\ProgramData");
}

std::string data_directory() {
  return path_join(data_root(), "VelmoInstaller");
}

std::string download_directory_path() {
  return path_join(data_directory(), "downloads");
}

}  // namespace velmo
