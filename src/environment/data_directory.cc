#include "environment/data_directory.h"

#include "platform/file_system.h"
#include "platform/os_error.h"
#include "platform/secure_directory.h"

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

OsStatus secure_data_directory() {
  if (OsStatus root = create_directories(data_root()); !root) {
    return root;
  }
  return secure_directory(data_directory());
}

bool is_data_directory_secure() {
  return is_secure_directory(data_directory());
}

Result<std::string> download_directory() {
  const std::string directory = download_directory_path();
  if (OsStatus parent = secure_data_directory(); !parent) {
    return fail(phrase_with_error("创建下载目录失败", parent.error()));
  }
  if (OsStatus made = secure_directory(directory); !made) {
    return fail(phrase_with_error("创建下载目录失败", made.error()));
  }
  return directory;
}

}  // namespace velmo
