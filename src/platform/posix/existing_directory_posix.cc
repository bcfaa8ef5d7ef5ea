#include <sys/stat.h>

#include "platform/existing_directory.h"

namespace velmo {

bool is_directory_following_links(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace velmo
