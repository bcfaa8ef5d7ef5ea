#ifndef VELMO_PLATFORM_POSIX_SPAWN_H_
#define VELMO_PLATFORM_POSIX_SPAWN_H_

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/os_error.h"

namespace velmo::posix {

// Starts `program` with `arguments` (and the working directory, when given)
// and returns its process id; nobody has waited for it yet.
OsResult<pid_t> spawn(const std::string& program,
                      const std::vector<std::string>& arguments,
                      const std::optional<std::string>& working_directory);

}  // namespace velmo::posix

#endif  // VELMO_PLATFORM_POSIX_SPAWN_H_
