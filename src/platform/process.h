#ifndef VELMO_PLATFORM_PROCESS_H_
#define VELMO_PLATFORM_PROCESS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/os_error.h"

namespace velmo {

// The running program's own file, or nothing when the system cannot tell.
std::optional<std::string> current_program_path();

// The user's temporary folder, or nothing when the system cannot tell.
std::optional<std::string> temp_directory();

uint32_t current_process_id();

// Blocks, without a time-out, until the process with this id has ended.
// Returns false without waiting when it cannot be opened for waiting
// (already gone, no rights).
bool wait_for_process_exit(uint32_t process_id);

// Runs `program` with `arguments` in `working_directory` without a console
// window, inheriting no handles, and waits for it to end without a time-out;
// returns its exit code as a signed 32-bit value (so 0xC0000005 reads
// -1073741819). Fails only when the program cannot be started. The directory
// is explicit because ours is often a download folder.
OsResult<int32_t> run_and_wait(const std::string& program,
                               const std::vector<std::string>& arguments,
                               const std::string& working_directory);

// Starts `program` with `arguments` in `working_directory` and returns at
// once; nobody waits for it and it outlives this process.
OsStatus start_detached_process(const std::string& program,
                                const std::vector<std::string>& arguments,
                                const std::string& working_directory);

}  // namespace velmo

#endif  // VELMO_PLATFORM_PROCESS_H_
