#ifndef VELMO_APP_LAUNCH_WORKER_H_
#define VELMO_APP_LAUNCH_WORKER_H_

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/event_sink.h"
#include "app/progress_queue.h"
#include "network/release_store.h"
#include "platform/result.h"

namespace velmo {

// The one argument the workbench is started with.
inline constexpr char kWorkbenchArgument[] = "--main";

// The refusal of an installation another account could have changed.
inline constexpr char kUnprotectedInstallationMessage[] =
    "VelmoQen工作台安装目录可被其他账户更改，已拒绝启动。请重新运行安装与更新助手修复安装后再试。";
// How long a launch with a pending update waits for the policy before it
// starts the installed version anyway.
inline constexpr std::chrono::seconds kLaunchPolicyWait{3};
// How long the started workbench has to show a visible window, and how often
// the launch looks.
inline constexpr std::chrono::seconds kWindowWaitLimit{90};
inline constexpr std::chrono::milliseconds kWindowPollInterval{100};

// A downloaded update waiting to be applied at the next launch:
// "VelmoQenWorkbench-Update-v{version}.package" in the download directory.
std::string pending_package_name(const std::string& version);
// The version of a pending package's file name, or nothing when `name` is
// not one (or its version is not valid).
std::optional<std::string> pending_package_version(const std::string& name);

// The workbench process the launch started, watched until it shows a window
// or ends. Its handle is let go when this goes away; the workbench runs on.
class StartedWorkbench {
 public:
  virtual ~StartedWorkbench() = default;
  // Whether one of its top-level windows is visible.
  virtual bool has_visible_window() = 0;
  // Nothing while it runs; its exit code once it ended; the system's error
  // text when that cannot be told.
  virtual Result<std::optional<int32_t>> exit_code() = 0;
};

// Everything the launch does outside its own logic; tests script each one.
struct LaunchServices {
  // The installation's main program, or the manifest check's message.
  // Puts back what an interrupted update left, when that can be proven and
  // nothing runs the workbench; anything else is left for the steps below
  // to refuse.
  std::function<void(const std::string& install_dir)> recover_interrupted_update;
  std::function<Result<std::string>(const std::string& install_dir)> resolve_main_program;
  // Whether nobody but the administrators can change the installation:
  // nothing else is started elevated.
  std::function<bool(const std::string& install_dir)> is_protected_installation;
  // The id of a process that has the program open, nothing, or the in-use
  // check's message.
  std::function<Result<std::optional<uint32_t>>(const std::string& program)> process_using;
  std::function<void(uint32_t process_id)> bring_to_front;
  // The installed version from the install manifest; nothing when unreadable.
  std::function<std::optional<std::string>(const std::string& install_dir)> installed_version;
  std::function<Result<std::string>()> download_directory;
  // The names in a directory, in listing order.
  std::function<std::vector<std::string>(const std::string& directory)> list_directory;
  // The policy, fetched on a thread of its own; nothing when no answer came
  // within `wait` (a later answer is dropped).
  std::function<std::optional<Result<VerifiedRelease>>(std::chrono::steady_clock::duration wait)>
      fetch_policy_within;
  // Whether `path` is a plain file of `bytes` bytes with SHA-256 `sha256`
  // (letter case aside).
  std::function<bool(const std::string& path, uint64_t bytes, const std::string& sha256)>
      package_matches;
  std::function<Status(VerifiedRelease release)> store_release;
  std::function<Status(const std::string& package, const std::string& install_dir)>
      apply_verified_installer;
  std::function<void(const std::string& path)> delete_file;
  // Starts the program with `arguments` in `working_directory`; fails with
  // the system's error text.
  std::function<Result<std::unique_ptr<StartedWorkbench>>(const std::string& program,
                                                          const std::vector<std::string>& arguments,
                                                          const std::string& working_directory)>
      start_workbench;
  std::function<std::chrono::steady_clock::time_point()> now;
  std::function<void(std::chrono::steady_clock::duration)> sleep;
};

LaunchServices default_launch_services();

// Whether `path` is a plain file (no link) of `bytes` bytes whose SHA-256 is
// `sha256`, letter case aside: the only pending package a launch applies.
bool is_verified_package(const std::string& path, uint64_t bytes, const std::string& sha256);

// Runs `fetch` on a thread of its own and waits for its result until `wait`
// has passed; nothing when it did not come in time. The thread may run on
// after that: its late result is dropped.
std::optional<Result<VerifiedRelease>> fetch_release_within(
    std::function<Result<VerifiedRelease>()> fetch,
    std::chrono::steady_clock::duration wait);

// Brings the workbench of `install_dir` up: to the front when it already
// runs, else started (after applying a verified pending update) and watched
// until it shows a window. Sends exactly one terminal event to `events`.
// While a pending update is applied it sends Installing for the workbench,
// and ComponentInstalled once that step is over (applied or left alone), so
// the startup window knows when it must not be closed.
void run_launch(const std::string& install_dir,
                const EventSink& events,
                const LaunchServices& services);

// Body of the launch worker thread, with the real services.
void run_launch_worker(std::string install_dir, EventSender sender);

}  // namespace velmo

#endif  // VELMO_APP_LAUNCH_WORKER_H_
