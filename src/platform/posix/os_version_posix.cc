#include "platform/os_version.h"

namespace velmo {

std::optional<OsVersion> read_os_version() {
  return std::nullopt;
}

}  // namespace velmo
