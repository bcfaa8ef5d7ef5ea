#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/file_system.h"
#include "platform/mutation_seam.h"
#include "platform/posix/unique_fd.h"
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

namespace {

constexpr int kOpenDirectoryFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

OsStatus remove_entries(int directory, const std::string& directory_path);

// The names are read before anything is deleted, so the listing never runs
// over entries that change under it.
OsResult<std::vector<std::string>> entry_names(int directory) {
  // fdopendir takes over the descriptor it is given; ours stays held.
  UniqueFd listing_fd(::fcntl(directory, F_DUPFD_CLOEXEC, 0));
  if (!listing_fd) {
    return std::unexpected(last_os_error());
  }
  DIR* listing = ::fdopendir(listing_fd.get());
  if (listing == nullptr) {
    return std::unexpected(last_os_error());
  }
  (void)listing_fd.release();
  ::rewinddir(listing);
  std::vector<std::string> names;
  while (const dirent* entry = ::readdir(listing)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") {
      names.push_back(name);
    }
  }
  ::closedir(listing);
  return names;
}

OsStatus unlink_entry(int parent, const std::string& name, const std::string& path) {
  if (auto fault = mutation_fault(Mutation::kRemoveFile, path)) {
    return std::unexpected(*fault);
  }
  if (::unlinkat(parent, name.c_str(), 0) != 0) {
    return std::unexpected(last_os_error());
  }
  return {};
}

// Everything is reached through the descriptor of its parent, never by its
// whole path: a directory renamed away and replaced by a link while we work
// cannot redirect the deletion outside the tree. An entry that is not a
// directory at the moment it is opened (a link swapped in included) is
// unlinked as a name.
OsStatus remove_entry(int parent, const std::string& name, const std::string& path) {
  struct stat info {};
  if (::fstatat(parent, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
    return std::unexpected(last_os_error());
  }
  if (!S_ISDIR(info.st_mode)) {
    return unlink_entry(parent, name, path);
  }
  UniqueFd directory(::openat(parent, name.c_str(), kOpenDirectoryFlags));
  if (!directory) {
    if (errno == ELOOP || errno == ENOTDIR) {
      return unlink_entry(parent, name, path);
    }
    return std::unexpected(last_os_error());
  }
  if (OsStatus emptied = remove_entries(directory.get(), path); !emptied) {
    return emptied;
  }
  if (auto fault = mutation_fault(Mutation::kRemoveDirectory, path)) {
    return std::unexpected(*fault);
  }
  // Removes a name, never follows one: a link put in the directory's place
  // since it was opened makes this fail instead.
  if (::unlinkat(parent, name.c_str(), AT_REMOVEDIR) != 0) {
    return std::unexpected(last_os_error());
  }
  return {};
}

// Keeps going after a failure so that as much as possible is gone; the
// first failure is the one reported.
OsStatus remove_entries(int directory, const std::string& directory_path) {
  OsResult<std::vector<std::string>> names = entry_names(directory);
  if (!names) {
    return std::unexpected(names.error());
  }
  OsStatus result;
  for (const std::string& name : *names) {
    OsStatus removed = remove_entry(directory, name, path_join(directory_path, name));
    if (!removed && result) {
      result = removed;
    }
  }
  return result;
}

}  // namespace

OsStatus remove_directory_tree(const std::string& path) {
  UniqueFd directory(::open(path.c_str(), kOpenDirectoryFlags));
  if (!directory) {
    // A link or a file under the name is removed itself: unlink never
    // follows the last part of a path.
    if (errno == ELOOP || errno == ENOTDIR) {
      return remove_file(path);
    }
    return std::unexpected(last_os_error());
  }
  if (OsStatus emptied = remove_entries(directory.get(), path); !emptied) {
    return emptied;
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
