#include <sys/stat.h>

#include "platform/path_attributes.h"

namespace velmo {

// A symbolic link stands for every kind of name surrogate here: POSIX has no
// junctions or mount-point reparse tags, and tests use links in their place.
OsResult<PathAttributes> read_path_attributes(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) {
    return std::unexpected(last_os_error());
  }
  return PathAttributes{.directory = S_ISDIR(info.st_mode),
                        .name_surrogate = S_ISLNK(info.st_mode)};
}

}  // namespace velmo
