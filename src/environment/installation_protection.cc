#include "environment/installation_protection.h"

#include "platform/file_system.h"
#include "platform/protected_tree.h"
#include "platform/secure_directory.h"
#include "product_files/install_manifest.h"
#include "product_files/launcher_layout.h"

namespace velmo {

namespace {

// Nothing under the name, or a file that only administrators change.
bool absent_or_trusted(const std::string& path) {
  return !path_exists(path) || is_trusted_file(path);
}

}  // namespace

bool is_protected_installation(const std::string& install_dir) {
  if (!is_secure_directory(install_dir) || others_can_replace_location(install_dir)) {
    return false;
  }
  const LauncherLayout layout = launcher_layout(install_dir);
  if (path_exists(layout.runtime_folder) && !is_secure_directory(layout.runtime_folder)) {
    return false;
  }
  return is_trusted_file(path_join(install_dir, kMainProgramFileName)) &&
         absent_or_trusted(path_join(install_dir, kInstallManifestFileName)) &&
         absent_or_trusted(layout.launcher);
}

}  // namespace velmo
