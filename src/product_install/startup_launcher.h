#ifndef VELMO_PRODUCT_INSTALL_STARTUP_LAUNCHER_H_
#define VELMO_PRODUCT_INSTALL_STARTUP_LAUNCHER_H_

#include <functional>
#include <string>

#include "platform/os_error.h"
#include "platform/result.h"
#include "product_install/launcher_platform.h"

namespace velmo {

// Where the launcher is copied from. The assistant is its own launcher (it
// runs as one with --launch-main), so by default this is the running
// program's file; tools that are not the assistant name the file instead.
using LauncherSource = std::function<OsResult<std::string>()>;

// The running program's own file, or the system's error when it cannot tell.
OsResult<std::string> running_program_file();

// A source that is always `path`.
LauncherSource launcher_source_at(std::string path);

// Installs the startup launcher into the installation at `install_dir` and
// points the desktop shortcut at it; returns the launcher's path. In order:
// the installation must be recognised (resolve_launch_target's message);
// the runtime folder is created and hidden; the source is taken
// ("读取启动器路径失败：{e}"); unless the source already is the launcher, a
// leftover backup is settled, the launcher is refreshed from the source and
// an archived backup is deleted; a launcher of the older layout is hidden
// (refused when not a plain file); then the shortcut is written. The first
// failure ends it with its message.
Result<std::string> install_startup_launcher(
    const std::string& install_dir,
    const LauncherSource& source = running_program_file,
    const LauncherPlatform& platform = system_launcher_platform());

}  // namespace velmo

#endif  // VELMO_PRODUCT_INSTALL_STARTUP_LAUNCHER_H_
