#ifndef VELMO_PLATFORM_CAPTURED_PROCESS_H_
#define VELMO_PLATFORM_CAPTURED_PROCESS_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/os_error.h"

namespace velmo {

struct CapturedRun {
  uint32_t exit_code = 0;
  std::string standard_output;
};

// Output kept of one run; the rest is read and dropped so that a chatty
// child never blocks on a full pipe.
inline constexpr size_t kMaxCapturedBytes = 1048576;

// Runs a program without a console window, standard input from the null
// device, standard output and error captured (error is read and dropped),
// and waits for it to end without a time-out. Fails only when the program
// cannot be started. It starts in the system directory, not in ours: the
// assistant is often started from a download folder, and a program looks in
// its current directory for files and DLLs anyone could have put there.
OsResult<CapturedRun> run_captured(const std::string& program,
                                   const std::vector<std::string>& arguments);

// The system directory (System32 on Windows; "/" elsewhere).
std::string system_directory();

// The full path of a program that ships with the system ("reg.exe" in the
// system directory). A bare name would be searched for in the assistant's
// own folder first, which may be a download folder anyone can write to.
std::string system_program_path(std::string_view name);

}  // namespace velmo

#endif  // VELMO_PLATFORM_CAPTURED_PROCESS_H_
