#include "product_install/in_use_check.h"
#include "product_install/install_directory.h"
#include "product_install/main_program_install.h"
#include "product_install/startup_launcher.h"

namespace velmo {

namespace {

InstallServices services_with_source(LauncherSource source) {
  InstallServices services;
  services.ensure_workbench_not_running = [](const std::string& install_dir) {
    return ensure_workbench_not_running(install_dir);
  };
  services.install_startup_launcher = [source = std::move(source)](const std::string& install_dir) {
    // The launcher runs elevated from the shortcut: the directory it goes
    // into is made ours first, also when the workbench was current and
    // nothing else was installed.
    if (Status ready = prepare_install_directory(install_dir); !ready) {
      return ready;
    }
    const Result<std::string> launcher = install_startup_launcher(install_dir, source);
    return launcher ? ok() : Status(fail(launcher.error()));
  };
  return services;
}

}  // namespace

InstallServices default_install_services() {
  return services_with_source(running_image);
}

InstallServices install_services_with_assistant(LauncherSource assistant) {
  return services_with_source(std::move(assistant));
}

}  // namespace velmo
