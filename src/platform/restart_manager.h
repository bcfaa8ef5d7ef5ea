#ifndef VELMO_PLATFORM_RESTART_MANAGER_H_
#define VELMO_PLATFORM_RESTART_MANAGER_H_

#include <cstdint>
#include <string>
#include <vector>

namespace velmo {

// The system's Restart Manager, reduced to the four calls that tell who has
// a file open. It sits behind an interface because Wine's Restart Manager
// always answers "no process": the decisions built on its answers are tested
// with a scripted one. Every call returns the system's result code (0 for
// success) unchanged, so the caller decides what each code means.
class RestartManager {
 public:
  virtual ~RestartManager() = default;

  // Starts a session; on success `session` holds its handle. A started
  // session must be ended with end_session on every path, or it stays
  // allocated system-wide.
  virtual uint32_t start_session(uint32_t& session) = 0;

  // Adds one file (UTF-8 path) to the session's resources.
  virtual uint32_t register_file(uint32_t session, const std::string& path) = 0;

  // Asks for the processes using the registered files, offering a zero-filled
  // buffer of `capacity` entries (none when 0). `needed` receives the number
  // of entries the system wanted, `returned` the number it filled, and
  // `process_ids` the process id of each of the buffer's entries in order
  // (0 where the system wrote nothing; the POSIX stand-in, which never asks
  // for room, gives back none).
  virtual uint32_t get_list(uint32_t session,
                            uint32_t capacity,
                            uint32_t& needed,
                            uint32_t& returned,
                            std::vector<uint32_t>& process_ids) = 0;

  virtual void end_session(uint32_t session) = 0;
};

// The system's Restart Manager. Where there is none (POSIX) a stand-in that
// starts sessions and always answers "no process".
RestartManager& system_restart_manager();

}  // namespace velmo

#endif  // VELMO_PLATFORM_RESTART_MANAGER_H_
