#ifndef VELMO_PLATFORM_PATH_ATTRIBUTES_H_
#define VELMO_PLATFORM_PATH_ATTRIBUTES_H_

#include <string>

#include "platform/os_error.h"

namespace velmo {

// What a path is by its own attributes, read without following links.
struct PathAttributes {
  bool directory = false;
  // A symbolic link, junction or mount point: a name that stands for another
  // object. Writing, moving or deleting through such a name would act on
  // something we never identified, so it is never treated as ours.
  bool name_surrogate = false;
};

// Reads the attributes of the path itself (a link is not followed).
OsResult<PathAttributes> read_path_attributes(const std::string& path);

// A file we may overwrite, move or delete: no directory and no name
// surrogate. Other reparse points (cloud placeholders, for example) count as
// plain: they are the file itself, not a name for another one.
bool is_plain_file(const PathAttributes& attributes);

// A directory that is itself, not a name for another directory.
bool is_plain_directory(const PathAttributes& attributes);

// The same tests on a path; false when its attributes cannot be read.
bool is_plain_file(const std::string& path);
bool is_plain_directory(const std::string& path);

}  // namespace velmo

#endif  // VELMO_PLATFORM_PATH_ATTRIBUTES_H_
