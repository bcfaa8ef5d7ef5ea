#include "platform/posix/spawn.h"

#include <spawn.h>
#include <unistd.h>

namespace velmo::posix {

OsResult<pid_t> spawn(const std::string& program,
                      const std::vector<std::string>& arguments,
                      const std::optional<std::string>& working_directory) {
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
  int error = 0;
  if (working_directory) {
    error = ::posix_spawn_file_actions_addchdir_np(&actions, working_directory->c_str());
  }
  pid_t pid = 0;
  if (error == 0) {
    error = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  }
  ::posix_spawn_file_actions_destroy(&actions);
  if (error != 0) {
    return std::unexpected(os_error_from_code(static_cast<uint32_t>(error)));
  }
  return pid;
}

}  // namespace velmo::posix
