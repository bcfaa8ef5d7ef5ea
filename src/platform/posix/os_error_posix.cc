#include <cerrno>
#include <cstring>

#include "platform/os_error.h"

namespace velmo {

OsError os_error_from_code(uint32_t code) {
  return OsError{code, std::strerror(static_cast<int>(code))};
}

OsError last_os_error() {
  return os_error_from_code(static_cast<uint32_t>(errno));
}

OsError access_denied() {
  return os_error_from_code(EACCES);
}

OsError unexpected_end_of_file() {
  return os_error_from_code(ENODATA);
}

}  // namespace velmo
