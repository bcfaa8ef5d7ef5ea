#ifndef VELMO_PLATFORM_HARD_LINK_COUNT_H_
#define VELMO_PLATFORM_HARD_LINK_COUNT_H_

#include <cstdint>
#include <string>

#include "platform/os_error.h"

namespace velmo {

// How many names the object at `path` has. Read through a handle of the
// object itself, opened without following a link at the path, so the count
// belongs to the object the name stands for right now. Another name for a
// file can live in a folder its owner never protected.
OsResult<uint32_t> hard_link_count(const std::string& path);

}  // namespace velmo

#endif  // VELMO_PLATFORM_HARD_LINK_COUNT_H_
