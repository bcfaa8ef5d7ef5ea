#include "environment/data_directory.h"

#include "platform/file_system.h"
#include "platform/os_error.h"

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

Result<std::string> download_directory() {
  const std::string directory = download_directory_path();
  if (auto made = create_directories(directory); !made) {
    return fail(phrase_with_error("创建下载目录失败", made.error()));
  }
  return directory;
}

}  // namespace velmo
