#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/file_system.h"
#include "platform/mutation_seam.h"
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
  if (auto fault = mutation_fault(Mutation::kRemoveFile, path)) {
    return std::unexpected(*fault);
  }
  if (::unlink(path.c_str()) != 0) {
    return std::unexpected(last_os_error());
  }
  return {};
}

OsStatus rename_path(const std::string& from, const std::string& to) {
  if (auto fault = mutation_fault(Mutation::kRename, from)) {
    return std::unexpected(*fault);
  }
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
  if (auto fault = mutation_fault(Mutation::kCreateDirectory, path)) {
    return std::unexpected(*fault);
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

namespace {

struct FdCloser {
  int fd;
  ~FdCloser() {
    if (fd >= 0) {
      ::close(fd);
    }
  }
};

OsStatus copy_descriptor(int from, int to) {
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(from, buffer, sizeof(buffer));
    if (got < 0) {
      if (errno == EINTR) {
        continue;
      }
      return std::unexpected(last_os_error());
    }
    if (got == 0) {
      return {};
    }
    for (ssize_t done = 0; done < got;) {
      const ssize_t put = ::write(to, buffer + done, static_cast<size_t>(got - done));
      if (put < 0) {
        if (errno == EINTR) {
          continue;
        }
        return std::unexpected(last_os_error());
      }
      done += put;
    }
  }
}

}  // namespace

OsStatus copy_file(const std::string& from, const std::string& to) {
  if (auto fault = mutation_fault(Mutation::kCopyFile, to)) {
    return std::unexpected(*fault);
  }
  const FdCloser source{::open(from.c_str(), O_RDONLY | O_CLOEXEC)};
  if (source.fd < 0) {
    return std::unexpected(last_os_error());
  }
  // A link under the target's name is not followed: the copy fails instead.
  const FdCloser target{
      ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0755)};
  if (target.fd < 0) {
    return std::unexpected(last_os_error());
  }
  return copy_descriptor(source.fd, target.fd);
}

OsStatus remove_directory_tree(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) {
    return std::unexpected(last_os_error());
  }
  if (!S_ISDIR(info.st_mode)) {
    return remove_file(path);
  }
  DIR* directory = ::opendir(path.c_str());
  if (directory == nullptr) {
    return std::unexpected(last_os_error());
  }
  OsStatus result;
  while (const dirent* entry = ::readdir(directory)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") {
      continue;
    }
    if (auto removed = remove_directory_tree(path_join(path, name)); !removed && result) {
      result = removed;
    }
  }
  ::closedir(directory);
  if (!result) {
    return result;
  }
  if (auto fault = mutation_fault(Mutation::kRemoveDirectory, path)) {
    return std::unexpected(*fault);
  }
  if (::rmdir(path.c_str()) != 0) {
    return std::unexpected(last_os_error());
  }
  return {};
}

std::vector<std::string> directory_names(const std::string& path) {
  std::vector<std::string> names;
  DIR* directory = ::opendir(path.c_str());
  if (directory == nullptr) {
    return names;
  }
  while (const dirent* entry = ::readdir(directory)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") {
      names.push_back(name);
    }
  }
  ::closedir(directory);
  return names;
}

std::optional<std::string> environment_variable(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  if (value == nullptr) {
    return std::nullopt;
  }
  return std::string(value);
}

}  // namespace velmo
