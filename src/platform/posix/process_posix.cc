#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

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
                               const std::vector<std::string>& arguments) {
  std::vector<std::string> owned;
  owned.reserve(arguments.size() + 1);
  owned.push_back(program);
  owned.insert(owned.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& argument : owned) {
    argv.push_back(argument.data());
  }
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (const int error =
          ::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ);
      error != 0) {
    return std::unexpected(os_error_from_code(static_cast<uint32_t>(error)));
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
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
  std::vector<std::string> owned;
  owned.reserve(arguments.size() + 1);
  owned.push_back(program);
  owned.insert(owned.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& argument : owned) {
    argv.push_back(argument.data());
  }
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  if (const int error = ::posix_spawn_file_actions_init(&actions); error != 0) {
    return std::unexpected(os_error_from_code(static_cast<uint32_t>(error)));
  }
  int error = ::posix_spawn_file_actions_addchdir_np(&actions, working_directory.c_str());
  pid_t pid = 0;
  if (error == 0) {
    error = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  }
  ::posix_spawn_file_actions_destroy(&actions);
  if (error != 0) {
    return std::unexpected(os_error_from_code(static_cast<uint32_t>(error)));
  }
  return {};
}

}  // namespace velmo
