#include "ui/ui_services.h"

#include <memory>
#include <utility>

#include "app/pipeline_services.h"
#include "app/receiver_slot.h"
#include "app/workers.h"
#include "environment/environment_check.h"
#include "environment/install_location.h"
#include "environment/installation_protection.h"
#include "platform/process.h"
#include "product_install/automatic_recovery.h"
#include "product_install/in_use_check.h"
#include "product_install/install_directory.h"
#include "product_install/main_program_install.h"
#include "product_install/startup_launcher.h"

namespace velmo {

namespace {

Result<bool> query_in_use(const std::string& executable_path) {
  Result<InUseAnswer> answer = query_workbench_in_use(executable_path);
  if (!answer) {
    return fail(std::move(answer.error()));
  }
  return answer->in_use;
}

// A source that always fails with `error`: the launcher step then ends with
// it, and never falls back to opening the file by name.
LauncherSource failing_source(OsError error) {
  return [error = std::move(error)]() -> OsResult<LauncherFile> { return std::unexpected(error); };
}

}  // namespace

LauncherSource hold_own_image() {
  OsResult<File> held = File::open_running_image();
  if (!held) {
    return failing_source(held.error());
  }
  const OsResult<std::string> path = running_program_file();
  if (!path) {
    return failing_source(path.error());
  }
  return held_launcher_source(std::make_shared<const File>(std::move(*held)), *path);
}

UiServices default_ui_services(LauncherSource launcher_source) {
  UiServices services;
  services.recover_interrupted_update = [](const std::string& install_dir) {
    (void)recover_before_use(install_dir);
  };
  services.check_environment = [](const std::optional<std::string>& install_dir) {
    return check_environment(install_dir);
  };
  services.start_policy_check = [] { start_policy_worker(receiver_slot()); };
  services.query_in_use = query_in_use;
  services.start_installation = [launcher_source](InstallationInputs inputs) {
    start_installation_run(
        std::move(inputs), receiver_slot(),
        [launcher_source](const InstallationInputs& run_inputs, const EventSender& sender) {
          return run_installation(
              run_inputs, sender,
              pipeline_services(install_services_with_assistant(launcher_source)));
        });
  };
  services.choose_folder = [] { return std::optional<std::string>(); };
  services.now = [] { return std::chrono::steady_clock::now(); };
  services.load_release = [] { return load_release(); };
  services.is_installed = [](const std::string& install_dir) { return is_installed(install_dir); };
  services.install_startup_launcher =
      [launcher_source](const std::string& install_dir) -> Result<std::string> {
    // The launcher is started elevated right after: its directory is made
    // ours first.
    if (Status ready = prepare_install_directory(install_dir); !ready) {
      return fail(std::move(ready.error()));
    }
    return install_startup_launcher(install_dir, launcher_source);
  };
  services.is_protected_installation = is_protected_installation;
  services.start_process = start_detached_process;
  services.process_id = current_process_id;
  return services;
}

}  // namespace velmo
