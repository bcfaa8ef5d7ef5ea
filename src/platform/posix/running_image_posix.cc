#include <fcntl.h>
#include <unistd.h>

#include "platform/file.h"

namespace velmo {

// /proc/self/exe opens the very file the process runs, whatever its name
// is now.
OsResult<File> File::open_running_image() {
  const int fd = ::open("/proc/self/exe", O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    return std::unexpected(last_os_error());
  }
  return File(fd);
}

OsResult<File> File::duplicate() const {
  const int fd = ::fcntl(static_cast<int>(native_), F_DUPFD_CLOEXEC, 0);
  if (fd < 0) {
    return std::unexpected(last_os_error());
  }
  return File(fd);
}

}  // namespace velmo
