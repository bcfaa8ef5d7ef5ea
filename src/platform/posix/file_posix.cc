#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <utility>

#include "platform/file.h"
#include "platform/mutation_seam.h"

namespace velmo {

File::~File() {
  close();
}

File::File(File&& other) noexcept : native_(std::exchange(other.native_, kInvalid)) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    close();
    native_ = std::exchange(other.native_, kInvalid);
  }
  return *this;
}

OsResult<File> File::open_for_read(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    return std::unexpected(last_os_error());
  }
  return File(fd);
}

OsResult<File> File::open_for_read_locked(const std::string& path) {
  return open_for_read(path);
}

OsResult<File> File::open_for_check(const std::string& path) {
  // O_NONBLOCK: a FIFO planted under the name must not hang the open.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    return std::unexpected(last_os_error());
  }
  return File(fd);
}

OsResult<File::Facts> File::facts() const {
  struct stat info {};
  if (::fstat(static_cast<int>(native_), &info) != 0) {
    return std::unexpected(last_os_error());
  }
  return Facts{.plain_file = S_ISREG(info.st_mode), .links = static_cast<uint32_t>(info.st_nlink)};
}

OsResult<File> File::create_truncate(const std::string& path) {
  if (auto fault = mutation_fault(Mutation::kCreateFile, path)) {
    return std::unexpected(*fault);
  }
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    return std::unexpected(last_os_error());
  }
  return File(fd);
}

OsResult<File> File::create_new(const std::string& path) {
  if (auto fault = mutation_fault(Mutation::kCreateFile, path)) {
    return std::unexpected(*fault);
  }
  // O_NOFOLLOW with O_EXCL: a dangling link under the name fails too.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) {
    return std::unexpected(last_os_error());
  }
  return File(fd);
}

OsResult<File> File::open_append(const std::string& path) {
  if (auto fault = mutation_fault(Mutation::kCreateFile, path)) {
    return std::unexpected(*fault);
  }
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd < 0) {
    return std::unexpected(last_os_error());
  }
  return File(fd);
}

OsResult<File> File::create_truncate_held(const std::string& path) {
  if (auto fault = mutation_fault(Mutation::kCreateFile, path)) {
    return std::unexpected(*fault);
  }
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) {
    return std::unexpected(last_os_error());
  }
  return File(fd);
}

OsResult<File> File::open_existing_held(const std::string& path) {
  if (auto fault = mutation_fault(Mutation::kCreateFile, path)) {
    return std::unexpected(*fault);
  }
  const int fd = ::open(path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    return std::unexpected(last_os_error());
  }
  return File(fd);
}

OsStatus File::rename_held(const std::string& own_path, const std::string& new_path) {
  if (auto fault = mutation_fault(Mutation::kRename, own_path)) {
    return std::unexpected(*fault);
  }
  // Never over an existing name, as on Windows.
  if (::renameat2(AT_FDCWD, own_path.c_str(), AT_FDCWD, new_path.c_str(), RENAME_NOREPLACE) != 0) {
    return std::unexpected(last_os_error());
  }
  return {};
}

OsStatus File::write_all(std::span<const std::byte> data) {
  if (auto fault = mutation_fault(Mutation::kWrite, "")) {
    return std::unexpected(*fault);
  }
  while (!data.empty()) {
    const ssize_t n = ::write(static_cast<int>(native_), data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      return std::unexpected(last_os_error());
    }
    data = data.subspan(static_cast<size_t>(n));
  }
  return {};
}

OsStatus File::flush() {
  if (auto fault = mutation_fault(Mutation::kFlush, "")) {
    return std::unexpected(*fault);
  }
  if (::fsync(static_cast<int>(native_)) != 0) {
    return std::unexpected(last_os_error());
  }
  return {};
}

void File::start_writeback() {
#ifdef __linux__
  // Only a hint: a failure here resurfaces in flush(), which decides.
  (void)::sync_file_range(static_cast<int>(native_), 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
}

OsStatus File::seek(uint64_t offset) {
  if (offset > static_cast<uint64_t>(INT64_MAX)) {
    return std::unexpected(os_error_from_code(EINVAL));
  }
  if (::lseek(static_cast<int>(native_), static_cast<off_t>(offset), SEEK_SET) < 0) {
    return std::unexpected(last_os_error());
  }
  return {};
}

OsStatus File::copy_to(const std::string& to) {
  if (auto fault = mutation_fault(Mutation::kCopyFile, to)) {
    return std::unexpected(*fault);
  }
  const int fd = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0755);
  if (fd < 0) {
    return std::unexpected(last_os_error());
  }
  File target(fd);
  return copy_content_into(target);
}

OsResult<uint64_t> File::size() const {
  struct stat info {};
  if (::fstat(static_cast<int>(native_), &info) != 0) {
    return std::unexpected(last_os_error());
  }
  return static_cast<uint64_t>(info.st_size);
}

OsResult<size_t> File::read(std::span<std::byte> buffer) {
  for (;;) {
    const ssize_t n = ::read(static_cast<int>(native_), buffer.data(), buffer.size());
    if (n >= 0) {
      return static_cast<size_t>(n);
    }
    if (errno != EINTR) {
      return std::unexpected(last_os_error());
    }
  }
}

bool File::is_open() const {
  return native_ != kInvalid;
}

void File::close() {
  if (native_ != kInvalid) {
    ::close(static_cast<int>(std::exchange(native_, kInvalid)));
  }
}

}  // namespace velmo
