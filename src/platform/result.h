#ifndef VELMO_PLATFORM_RESULT_H_
#define VELMO_PLATFORM_RESULT_H_

#include <expected>
#include <string>
#include <utility>

namespace velmo {

// Every operation that can fail returns its value or the one message the user
// will read (Simplified Chinese, UTF-8). The first failure ends the operation;
// callers pass the message on unchanged unless they own a prefix for it.
template <typename T>
using Result = std::expected<T, std::string>;

// Result of an operation that yields nothing but success.
using Status = std::expected<void, std::string>;

// Builds the failure side of a Result or Status.
inline std::unexpected<std::string> fail(std::string message) {
  return std::unexpected<std::string>(std::move(message));
}

inline Status ok() {
  return {};
}

}  // namespace velmo

#endif  // VELMO_PLATFORM_RESULT_H_
