#ifndef VELMO_PRODUCT_INSTALL_DESKTOP_SHORTCUT_H_
#define VELMO_PRODUCT_INSTALL_DESKTOP_SHORTCUT_H_

#include <string>

#include "platform/result.h"
#include "platform/shell_link.h"
#include "product_install/launcher_platform.h"

namespace velmo {

inline constexpr char kDesktopShortcutFileName[] = "Velmo Qen 工作台.lnk";
inline constexpr char kLaunchMainArgument[] = "--launch-main";

// What the desktop entry says: start the launcher in launch mode from the
// install directory, shown with the workbench's own icon.
ShellLinkFields desktop_shortcut_fields(const std::string& install_dir,
                                        const std::string& launcher_path,
                                        const std::string& main_program_path);

// The message for a failed call of the shell's link service.
std::string shell_link_failure_message(const ShellLinkFailure& failure);

// Saves "Velmo Qen 工作台.lnk" on the current user's desktop, else on the
// public one (find_desktop_folder), replacing an entry of that name, and
// marks it to run with the rights the launcher asks for
// (mark_shortcut_run_as_user). Returns the shortcut's path.
Result<std::string> write_desktop_shortcut(
    const std::string& install_dir,
    const std::string& launcher_path,
    const std::string& main_program_path,
    const LauncherPlatform& platform = system_launcher_platform());

}  // namespace velmo

#endif  // VELMO_PRODUCT_INSTALL_DESKTOP_SHORTCUT_H_
