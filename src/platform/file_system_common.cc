#include "platform/file_system.h"

namespace velmo {

std::string path_join(std::string_view directory, std::string_view name) {
  std::string joined(directory);
  if (!joined.empty() && joined.back() != '\\' && joined.back() != '/') {
    joined.push_back(kPathSeparator);
  }
  joined.append(name);
  return joined;
}

}  // namespace velmo
