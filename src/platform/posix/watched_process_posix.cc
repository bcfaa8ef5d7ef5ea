#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/posix/spawn.h"
#include "platform/watched_process.h"

namespace velmo {

OsResult<WatchedProcess> WatchedProcess::start(const std::string& program,
                                               const std::vector<std::string>& arguments,
                                               const std::string& working_directory) {
  const OsResult<pid_t> pid = posix::spawn(program, arguments, working_directory);
  if (!pid) {
    return std::unexpected(pid.error());
  }
  return WatchedProcess(*pid, static_cast<uint32_t>(*pid));
}

WatchedProcess::WatchedProcess(WatchedProcess&& other) noexcept
    : native_(std::exchange(other.native_, 0)), id_(other.id_) {}

WatchedProcess& WatchedProcess::operator=(WatchedProcess&& other) noexcept {
  native_ = std::exchange(other.native_, 0);
  id_ = other.id_;
  return *this;
}

WatchedProcess::~WatchedProcess() = default;

// There are no windows here: a watched program never shows one.
bool WatchedProcess::has_visible_window() const {
  return false;
}

OsResult<std::optional<int32_t>> WatchedProcess::exit_code() const {
  int status = 0;
  pid_t done = 0;
  do {
    done = ::waitpid(static_cast<pid_t>(native_), &status, WNOHANG);
  } while (done < 0 && errno == EINTR);
  if (done < 0) {
    return std::unexpected(last_os_error());
  }
  if (done == 0) {
    return std::optional<int32_t>();
  }
  // A signal has no exit code; report it the way a shell does.
  return std::optional<int32_t>(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
}

void bring_process_window_to_front(uint32_t /*process_id*/) {}

}  // namespace velmo
