#include "product_files/launcher_layout.h"

#include "platform/file_system.h"

namespace velmo {

LauncherLayout launcher_layout(const std::string& install_dir) {
  LauncherLayout layout;
  layout.runtime_folder = path_join(install_dir, kRuntimeFolderName);
  layout.launcher = path_join(layout.runtime_folder, kLauncherFileName);
  // Both keep ".exe" inside the name: the extension becomes one nothing
  // starts when double-clicked.
  layout.backup = layout.launcher + kLauncherBackupSuffix;
  layout.part = layout.launcher + kLauncherPartSuffix;
  layout.older_launcher = path_join(install_dir, kLauncherFileName);
  return layout;
}

}  // namespace velmo
