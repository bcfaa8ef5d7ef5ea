#include "ui/open_workbench.h"

#include <utility>
#include <vector>

#include "app/launch_worker.h"
#include "platform/os_error.h"

namespace velmo {

Status open_workbench(const std::optional<std::string>& install_dir, const UiServices& services) {
  if (!install_dir || !services.is_installed(*install_dir)) {
    return fail("没有检测到完整的 IDE 安装结果，无法打开程序。");
  }
  // The launcher runs as administrator: never from a place another account
  // could have changed. An installation is made safe by installing it, not
  // by repairing it on the way to running what is in it; and the launcher
  // just written must be as safe as the rest.
  if (!services.is_protected_installation(*install_dir)) {
    return fail(kUnprotectedInstallationMessage);
  }
  Result<std::string> launcher = services.install_startup_launcher(*install_dir);
  if (!launcher) {
    return fail(std::move(launcher.error()));
  }
  if (!services.is_protected_installation(*install_dir)) {
    return fail(kUnprotectedInstallationMessage);
  }
  // The launcher waits for this process to end, so the workbench never sees
  // the assistant still holding files of the installation.
  const std::vector<std::string> arguments = {
      "--wait-for-process", std::to_string(services.process_id()), "--launch-main"};
  if (OsStatus started = services.start_process(*launcher, arguments, *install_dir); !started) {
    return fail(phrase_with_error("准备打开 IDE 失败", started.error()));
  }
  return ok();
}

}  // namespace velmo
