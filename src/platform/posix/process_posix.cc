#include <signal.h>
#include <unistd.h>

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

}  // namespace velmo
