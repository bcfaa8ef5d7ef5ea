#ifndef VELMO_UI_UI_SERVICES_H_
#define VELMO_UI_UI_SERVICES_H_

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/installation_pipeline.h"
#include "environment/environment_report.h"
#include "network/release_store.h"
#include "platform/os_error.h"
#include "platform/result.h"
#include "product_install/startup_launcher.h"

namespace velmo {

// Everything the screen logic asks of the world outside its record. The real
// program uses default_ui_services(); tests pass fakes, so every screen can be
// driven without a window, a worker thread or a network.
struct UiServices {
  // Puts back what an interrupted update left in the install directory, when
  // that can be proven and nothing runs the workbench (blocking, before the
  // first check).
  std::function<void(const std::string& install_dir)> recover_interrupted_update;
  // Blocking check of the computer for the install directory (when known).
  std::function<EnvironmentCheck(const std::optional<std::string>& install_dir)> check_environment;
  // Starts a policy fetch whose events reach the window's receiver slot.
  std::function<void()> start_policy_check;
  // Whether some process holds the workbench program at this path.
  std::function<Result<bool>(const std::string& executable_path)> query_in_use;
  // Starts the installation worker with a copy of its inputs.
  std::function<void(InstallationInputs inputs)> start_installation;
  // The folder dialog: the chosen directory, or nothing when cancelled. Only
  // the window can show it, so the window supplies it.
  std::function<std::optional<std::string>()> choose_folder;
  // Monotonic time for the installer step's elapsed time.
  std::function<std::chrono::steady_clock::time_point()> now;
  // The release of the accepted policy: target version and download size.
  std::function<Result<VerifiedRelease>()> load_release;

  // Opening the workbench: whether the directory holds a complete
  // installation, making sure the launcher and shortcut exist (the
  // launcher's path), starting a program without waiting for it, and the id
  // the launcher waits for.
  std::function<bool(const std::string& install_dir)> is_installed;
  std::function<Result<std::string>(const std::string& install_dir)> install_startup_launcher;
  // Whether nobody but the administrators can change the installation: the
  // elevated launcher is started from nothing else.
  std::function<bool(const std::string& install_dir)> is_protected_installation;
  std::function<OsStatus(const std::string& program,
                         const std::vector<std::string>& arguments,
                         const std::string& working_directory)>
      start_process;
  std::function<uint32_t()> process_id;
};

// The real steps. The folder dialog answers "cancelled" until the window
// replaces it with its own. The launcher is copied from `launcher_source`
// alone: the shipped program hands in its own file, held since its start.
UiServices default_ui_services(LauncherSource launcher_source = running_image);

// The assistant's own file, opened now (File::open_running_image) and held
// for the rest of the process, as the launcher's only source. A file that
// cannot be held or proven makes every launcher step fail with that error,
// never fall back to the name.
LauncherSource hold_own_image();

}  // namespace velmo

#endif  // VELMO_UI_UI_SERVICES_H_
