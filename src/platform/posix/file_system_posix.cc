#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/file_system.h"
#include "platform/windows_path.h"

namespace velmo {

OsResult<uint64_t> file_size(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) {
    return std::unexpected(last_os_error());
  }
  return static_cast<uint64_t>(info.st_size);
}

bool path_exists(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

OsStatus remove_file(const std::string& path) {
  if (::unlink(path.c_str()) != 0) {
    return std::unexpected(last_os_error());
  }
  return {};
}

OsStatus rename_path(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0) {
    return std::unexpected(last_os_error());
  }
  return {};
}

OsStatus create_directories(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) {
      return {};
    }
    return std::unexpected(os_error_from_code(ENOTDIR));
  }
  if (auto parent = parent_path(path); parent && *parent != path) {
    if (auto made = create_directories(*parent); !made) {
      return made;
    }
  }
  if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) {
    return std::unexpected(last_os_error());
  }
  return {};
}

OsResult<std::string> final_path_name(const std::string& path) {
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) {
    return std::unexpected(last_os_error());
  }
  std::string result(resolved);
  std::free(resolved);
  return result;
}

bool is_fixed_drive(const std::string& /*root*/) {
  return false;
}

std::optional<std::string> environment_variable(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  if (value == nullptr) {
    return std::nullopt;
  }
  return std::string(value);
}

}  // namespace velmo
