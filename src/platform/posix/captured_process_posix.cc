#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>

#include "platform/captured_process.h"
#include "platform/posix/unique_fd.h"

extern char** environ;

namespace velmo {

namespace {

struct Pipe {
  UniqueFd read;
  UniqueFd write;
};

OsResult<Pipe> make_pipe() {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    return std::unexpected(last_os_error());
  }
  return Pipe{UniqueFd(fds[0]), UniqueFd(fds[1])};
}

class SpawnActions {
 public:
  SpawnActions() { ::posix_spawn_file_actions_init(&actions_); }
  ~SpawnActions() { ::posix_spawn_file_actions_destroy(&actions_); }
  SpawnActions(const SpawnActions&) = delete;
  SpawnActions& operator=(const SpawnActions&) = delete;
  posix_spawn_file_actions_t* get() { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_;
};

// Reads both pipes until both writers are gone; output is kept up to the
// cap, error output is dropped.
void read_both(int output, int error, std::string& kept) {
  std::array<pollfd, 2> fds = {pollfd{output, POLLIN, 0}, pollfd{error, POLLIN, 0}};
  std::array<char, 4096> buffer;
  while (fds[0].fd >= 0 || fds[1].fd >= 0) {
    if (::poll(fds.data(), fds.size(), -1) < 0) {
      if (errno == EINTR) {
        continue;
      }
      return;
    }
    for (size_t i = 0; i < fds.size(); ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) {
        continue;
      }
      const ssize_t n = ::read(fds[i].fd, buffer.data(), buffer.size());
      if (n < 0 && errno == EINTR) {
        continue;
      }
      if (n <= 0) {
        fds[i].fd = -1;
        continue;
      }
      if (i == 0) {
        const size_t room = kMaxCapturedBytes - kept.size();
        kept.append(buffer.data(), std::min<size_t>(room, static_cast<size_t>(n)));
      }
    }
  }
}

}  // namespace

std::string system_directory() {
  return "/";
}

std::string system_program_path(std::string_view name) {
  return std::string(name);
}

OsResult<CapturedRun> run_captured(const std::string& program,
                                   const std::vector<std::string>& arguments) {
  OsResult<Pipe> output = make_pipe();
  if (!output) {
    return std::unexpected(output.error());
  }
  OsResult<Pipe> error = make_pipe();
  if (!error) {
    return std::unexpected(error.error());
  }
  SpawnActions actions;
  ::posix_spawn_file_actions_addopen(actions.get(), 0, "/dev/null", O_RDONLY, 0);
  ::posix_spawn_file_actions_adddup2(actions.get(), output->write.get(), 1);
  ::posix_spawn_file_actions_adddup2(actions.get(), error->write.get(), 2);
  const std::string directory = system_directory();
  if (const int failed = ::posix_spawn_file_actions_addchdir_np(actions.get(), directory.c_str());
      failed != 0) {
    return std::unexpected(os_error_from_code(static_cast<uint32_t>(failed)));
  }

  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& argument : arguments) {
    argv.push_back(const_cast<char*>(argument.c_str()));
  }
  argv.push_back(nullptr);

  pid_t pid = 0;
  const int spawned =
      ::posix_spawnp(&pid, program.c_str(), actions.get(), nullptr, argv.data(), environ);
  if (spawned != 0) {
    return std::unexpected(os_error_from_code(static_cast<uint32_t>(spawned)));
  }
  output->write.reset();
  error->write.reset();

  CapturedRun run;
  read_both(output->read.get(), error->read.get(), run.standard_output);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) {
      return std::unexpected(last_os_error());
    }
  }
  // A signal is reported the way shells do, so it is never mistaken for 0.
  run.exit_code = WIFEXITED(status) ? static_cast<uint32_t>(WEXITSTATUS(status))
                                    : 128u + static_cast<uint32_t>(WTERMSIG(status));
  return run;
}

}  // namespace velmo
