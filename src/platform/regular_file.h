#ifndef VELMO_PLATFORM_REGULAR_FILE_H_
#define VELMO_PLATFORM_REGULAR_FILE_H_

#include <string>

namespace velmo {

// Whether the path, every link followed, names an existing regular file: no
// directory, and on POSIX no device, pipe or socket either. For paths the
// caller has already resolved to their final object (see final_path_name),
// where the question is what that object is, not what the name is.
bool is_regular_file_following_links(const std::string& path);

}  // namespace velmo

#endif  // VELMO_PLATFORM_REGULAR_FILE_H_
