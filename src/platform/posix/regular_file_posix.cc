#include <sys/stat.h>

#include "platform/regular_file.h"

namespace velmo {

bool is_regular_file_following_links(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace velmo
