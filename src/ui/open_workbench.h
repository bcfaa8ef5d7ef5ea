#ifndef VELMO_UI_OPEN_WORKBENCH_H_
#define VELMO_UI_OPEN_WORKBENCH_H_

#include <optional>
#include <string>

#include "platform/result.h"
#include "ui/ui_services.h"

namespace velmo {

// Hands the workbench over to the startup launcher of the installation in
// `install_dir`: the installation must be complete, the launcher and the
// desktop shortcut are made sure of, and the launcher is started to wait for
// this process and then open the workbench. The caller ends the window on
// success.
Status open_workbench(const std::optional<std::string>& install_dir, const UiServices& services);

}  // namespace velmo

#endif  // VELMO_UI_OPEN_WORKBENCH_H_
