#ifndef VELMO_PLATFORM_POSIX_UNIQUE_FD_H_
#define VELMO_PLATFORM_POSIX_UNIQUE_FD_H_

#include <unistd.h>

#include "platform/unique_resource.h"

namespace velmo {

// A file descriptor, closed when it goes away.
struct FdTraits {
  using Type = int;
  static Type invalid() { return -1; }
  static bool is_valid(Type fd) { return fd >= 0; }
  static void close(Type fd) { ::close(fd); }
};
using UniqueFd = UniqueResource<FdTraits>;

}  // namespace velmo

#endif  // VELMO_PLATFORM_POSIX_UNIQUE_FD_H_
