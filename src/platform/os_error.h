#ifndef VELMO_PLATFORM_OS_ERROR_H_
#define VELMO_PLATFORM_OS_ERROR_H_

#include <cstdint>
#include <expected>
#include <string>
#include <string_view>

namespace velmo {

// An operating-system failure: the numeric code (a Windows error code on
// Windows, errno elsewhere) and the system's own text for it.
struct OsError {
  uint32_t code = 0;
  std::string text;
};

// Platform calls return their value or the OsError; the caller owns the
// phrase that turns it into the user's message.
template <typename T>
using OsResult = std::expected<T, OsError>;
using OsStatus = std::expected<void, OsError>;

// The calling thread's last error (GetLastError / errno), with its text.
OsError last_os_error();

// The error with this code, with its text.
OsError os_error_from_code(uint32_t code);

// The error for an object we may not use (ERROR_ACCESS_DENIED on Windows,
// EACCES elsewhere).
OsError access_denied();

// The error for a file that ended before the bytes a reader needed
// (ERROR_HANDLE_EOF on Windows, ENODATA elsewhere).
OsError unexpected_end_of_file();

// "{text} (os error {code})": the form every message uses for an OS failure.
std::string describe_os_error(const OsError& error);

// "{phrase}：{text} (os error {code})".
std::string phrase_with_error(std::string_view phrase, const OsError& error);

// "{stage}，错误码 {code}。": the form for stages whose error text the user
// cannot act on (network steps), keeping only the number for support.
std::string format_stage_error(std::string_view stage, uint32_t code);

// format_stage_error with the calling thread's last error code. Must be called
// before anything else can overwrite that code.
std::string format_os_error(std::string_view stage);

}  // namespace velmo

#endif  // VELMO_PLATFORM_OS_ERROR_H_
