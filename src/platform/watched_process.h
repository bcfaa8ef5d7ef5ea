#ifndef VELMO_PLATFORM_WATCHED_PROCESS_H_
#define VELMO_PLATFORM_WATCHED_PROCESS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/os_error.h"

namespace velmo {

// A program this process started and keeps an eye on until it shows a
// window or ends. Letting go of it closes only our handle: the program runs
// on.
class WatchedProcess {
 public:
  static OsResult<WatchedProcess> start(const std::string& program,
                                        const std::vector<std::string>& arguments,
                                        const std::string& working_directory);

  WatchedProcess(WatchedProcess&& other) noexcept;
  WatchedProcess& operator=(WatchedProcess&& other) noexcept;
  WatchedProcess(const WatchedProcess&) = delete;
  WatchedProcess& operator=(const WatchedProcess&) = delete;
  ~WatchedProcess();

  uint32_t id() const { return id_; }

  // Whether one of its top-level windows is visible (never, where there are
  // no windows).
  bool has_visible_window() const;

  // Nothing while it runs; its exit code (signed) once it ended.
  OsResult<std::optional<int32_t>> exit_code() const;

 private:
  WatchedProcess(intptr_t native, uint32_t id) : native_(native), id_(id) {}

  // The process handle on Windows, the process id elsewhere; 0 when moved
  // from.
  intptr_t native_ = 0;
  uint32_t id_ = 0;
};

// Brings the first visible top-level window of the process to the
// foreground; nothing when it has none.
void bring_process_window_to_front(uint32_t process_id);

}  // namespace velmo

#endif  // VELMO_PLATFORM_WATCHED_PROCESS_H_
