#include "ui/ui_services.h"

#include <utility>

#include "app/receiver_slot.h"
#include "app/workers.h"
#include "environment/environment_check.h"
#include "environment/install_location.h"
#include "platform/process.h"
#include "product_install/in_use_check.h"
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

}  // namespace

UiServices default_ui_services() {
  UiServices services;
  services.check_environment = [](const std::optional<std::string>& install_dir) {
    return check_environment(install_dir);
  };
  services.start_policy_check = [] { start_policy_worker(receiver_slot()); };
  services.query_in_use = query_in_use;
  services.start_installation = [](InstallationInputs inputs) {
    start_installation_run(std::move(inputs), receiver_slot());
  };
  services.choose_folder = [] { return std::optional<std::string>(); };
  services.now = [] { return std::chrono::steady_clock::now(); };
  services.load_release = [] { return load_release(); };
  services.is_installed = [](const std::string& install_dir) { return is_installed(install_dir); };
  services.install_startup_launcher = [](const std::string& install_dir) {
    return install_startup_launcher(install_dir);
  };
  services.start_process = start_detached_process;
  services.process_id = current_process_id;
  return services;
}

}  // namespace velmo
