#include "platform/path_attributes.h"

namespace velmo {

bool is_plain_file(const PathAttributes& attributes) {
  return !attributes.directory && !attributes.name_surrogate;
}

bool is_plain_directory(const PathAttributes& attributes) {
  return attributes.directory && !attributes.name_surrogate;
}

bool is_plain_file(const std::string& path) {
  const OsResult<PathAttributes> attributes = read_path_attributes(path);
  return attributes && is_plain_file(*attributes);
}

bool is_plain_directory(const std::string& path) {
  const OsResult<PathAttributes> attributes = read_path_attributes(path);
  return attributes && is_plain_directory(*attributes);
}

}  // namespace velmo
