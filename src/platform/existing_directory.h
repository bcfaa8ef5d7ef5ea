#ifndef VELMO_PLATFORM_EXISTING_DIRECTORY_H_
#define VELMO_PLATFORM_EXISTING_DIRECTORY_H_

#include <string>

namespace velmo {

// Whether the path, every link followed, names an existing directory. For
// folders the system hands out (a desktop redirected elsewhere by a link is
// still the user's desktop), where the question is whether files can go
// there, not what the name itself is.
bool is_directory_following_links(const std::string& path);

}  // namespace velmo

#endif  // VELMO_PLATFORM_EXISTING_DIRECTORY_H_
