#ifndef VELMO_PRODUCT_INSTALL_LAUNCHER_PLATFORM_H_
#define VELMO_PRODUCT_INSTALL_LAUNCHER_PLATFORM_H_

#include <functional>
#include <string>

#include "platform/known_folder.h"
#include "platform/result.h"
#include "platform/shell_link.h"

namespace velmo {

// The few services of the desktop shell the launcher install needs beyond
// plain files. They sit behind function objects so the install runs on real
// files natively (where there is no attrib, no shell and no desktop of the
// kind Windows has) and so tests can make one of them fail.
struct LauncherPlatform {
  // Gives a path the hidden attribute (hide_path on Windows).
  std::function<Status(const std::string& path)> hide_path;
  // A shell folder's path or the shell's HRESULT (known_folder_path).
  std::function<KnownFolderPath(KnownFolder folder)> known_folder_path;
  // Saves a shortcut file (save_shell_link).
  std::function<ShellLinkStatus(const ShellLinkFields& fields, const std::string& link_path)>
      save_shell_link;
};

// The system's services. On POSIX, where nothing is hidden by an attribute,
// hiding succeeds without a change; the folder and the shortcut come from
// the platform layer's stand-ins.
const LauncherPlatform& system_launcher_platform();

}  // namespace velmo

#endif  // VELMO_PRODUCT_INSTALL_LAUNCHER_PLATFORM_H_
