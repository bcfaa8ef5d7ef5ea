#include <fcntl.h>
#include <sys/stat.h>

#include "platform/hard_link_count.h"
#include "platform/posix/unique_fd.h"

namespace velmo {

OsResult<uint32_t> hard_link_count(const std::string& path) {
  // O_PATH reads no data, so a pipe or device under the name cannot block
  // the open; O_NOFOLLOW makes a link at the path count for itself.
  UniqueFd object(::open(path.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
  if (!object) {
    return std::unexpected(last_os_error());
  }
  struct stat info {};
  if (::fstat(object.get(), &info) != 0) {
    return std::unexpected(last_os_error());
  }
  return static_cast<uint32_t>(info.st_nlink);
}

}  // namespace velmo
