// The assistant as shipped, except that the window asks a process scan who
// runs the workbench (Wine's Restart Manager never names a process). The
// window tests use it to see the real program wait for a running workbench
// and continue by itself once it exits.
#include <windows.h>

#include <string>
#include <utility>

#include "main/assistant_main.h"
#include "platform/win/system_dll_search.h"
#include "process_scan_restart_manager.h"
#include "product_install/in_use_check.h"
#include "ui/ui_services.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // As the shipped entry point: no DLL from the program's folder.
  if (!velmo::restrict_dll_search_to_system32()) {
    return 0;
  }
  return velmo::run_assistant(instance, [](velmo::LauncherSource source) {
    velmo::UiServices services = velmo::default_ui_services(std::move(source));
    services.query_in_use = [](const std::string& executable_path) -> velmo::Result<bool> {
      velmo::test::ProcessScanRestartManager scan;
      velmo::Result<velmo::InUseAnswer> answer =
          velmo::query_workbench_in_use(executable_path, scan);
      if (!answer) {
        return velmo::fail(std::move(answer.error()));
      }
      return answer->in_use;
    };
    return services;
  });
}
