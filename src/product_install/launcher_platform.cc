#include "product_install/launcher_platform.h"

#include "product_install/hide_path.h"

namespace velmo {

namespace {

#ifndef _WIN32
// POSIX hides by a leading dot in the name, which would change the paths
// the shortcut names; there is nothing to do instead.
Status leave_visible(const std::string& /*path*/) {
  return ok();
}
#endif

LauncherPlatform make_system_platform() {
  LauncherPlatform platform;
#ifdef _WIN32
  platform.hide_path = hide_path;
#else
  platform.hide_path = leave_visible;
#endif
  platform.known_folder_path = known_folder_path;
  platform.save_shell_link = save_shell_link;
  return platform;
}

}  // namespace

const LauncherPlatform& system_launcher_platform() {
  static const LauncherPlatform platform = make_system_platform();
  return platform;
}

}  // namespace velmo
