#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/posix/spawn.h"
#include "platform/process.h"

namespace velmo {

std::optional<std::string> current_program_path() {
  std::error_code error;
  const auto path = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) {
    return std::nullopt;
  }
  return path.string();
}

std::optional<std::string> temp_directory() {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp");
}

uint32_t current_process_id() {
  return static_cast<uint32_t>(::getpid());
}

bool wait_for_process_exit(uint32_t process_id) {
  // No portable handle to wait on: poll for the id's existence. Used only by
  // tests of the portable build.
  const auto pid = static_cast<pid_t>(process_id);
  if (pid <= 0 || ::kill(pid, 0) != 0) {
    return false;
  }
  while (::kill(pid, 0) == 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

OsResult<int32_t> run_and_wait(const std::string& program,
                               const std::vector<std::string>& arguments,
                               const std::string& working_directory) {
  const OsResult<pid_t> pid = posix::spawn(program, arguments, working_directory);
  if (!pid) {
    return std::unexpected(pid.error());
  }
  int status = 0;
  while (::waitpid(*pid, &status, 0) < 0) {
    if (errno != EINTR) {
      return std::unexpected(last_os_error());
    }
  }
  // A signal has no exit code; report it the way a shell does.
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

OsStatus start_detached_process(const std::string& program,
                                const std::vector<std::string>& arguments,
                                const std::string& working_directory) {
  const OsResult<pid_t> pid = posix::spawn(program, arguments, working_directory);
  if (!pid) {
    return std::unexpected(pid.error());
  }
  return {};
}

}  // namespace velmo
