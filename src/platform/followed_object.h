#ifndef VELMO_PLATFORM_FOLLOWED_OBJECT_H_
#define VELMO_PLATFORM_FOLLOWED_OBJECT_H_

#include <string>

namespace velmo {

// What a path names once every link is followed. For paths whose object
// matters rather than the name: a folder the system hands out (a desktop
// redirected elsewhere by a link is still the user's desktop), or a path
// already resolved to its final object (see final_path_name).

// An existing directory.
bool is_directory_following_links(const std::string& path);

// An existing regular file: no directory, and no device, pipe or socket.
bool is_regular_file_following_links(const std::string& path);

}  // namespace velmo

#endif  // VELMO_PLATFORM_FOLLOWED_OBJECT_H_
