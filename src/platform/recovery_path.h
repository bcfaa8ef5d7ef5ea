#ifndef VELMO_PLATFORM_RECOVERY_PATH_H_
#define VELMO_PLATFORM_RECOVERY_PATH_H_

#include <string>
#include <string_view>

namespace velmo {

// The name a leftover is set aside under, in its own directory:
// "{file name}.recovery-{tag}-{process id}-{UTC nanoseconds since 1970}"
// (0 nanoseconds when the clock reads earlier). Unique per process and
// moment, so setting aside never replaces an earlier leftover.
std::string make_recovery_path(const std::string& path, std::string_view tag);

}  // namespace velmo

#endif  // VELMO_PLATFORM_RECOVERY_PATH_H_
