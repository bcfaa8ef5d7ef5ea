#ifndef VELMO_PRODUCT_INSTALL_STARTUP_LAUNCHER_H_
#define VELMO_PRODUCT_INSTALL_STARTUP_LAUNCHER_H_

#include <functional>
#include <memory>
#include <string>

#include "platform/file.h"
#include "platform/os_error.h"
#include "platform/result.h"
#include "product_install/launcher_platform.h"

namespace velmo {

// The file the launcher is copied from: its name, to tell whether it already
// is the launcher, and a handle that lets nobody write, rename or delete it
// while it stays open (or why it could not be opened). The copy is read
// from the handle alone.
struct LauncherFile {
  std::string path;
  OsResult<File> file;
};

// Where the launcher is copied from. The assistant is its own launcher (it
// runs as one with --launch-main), so by default this is the running
// program's file; tools that are not the assistant name the file instead.
using LauncherSource = std::function<OsResult<LauncherFile>()>;

// The running program's own file name, or the system's error when it
// cannot tell.
OsResult<std::string> running_program_file();

// The running program's own image, opened when asked (File::open_running_image).
OsResult<LauncherFile> running_image();

// A source that opens whatever file the name given by `path` stands for
// when it is asked.
LauncherSource launcher_source_named(std::function<OsResult<std::string>()> path);

// A source that is always the file named `path`.
LauncherSource launcher_source_at(std::string path);

// A source that hands out further handles of a file held since the start,
// known as `path`: nothing done to the name meanwhile changes what is
// copied.
LauncherSource held_launcher_source(std::shared_ptr<const File> file, std::string path);

// Installs the startup launcher into the installation at `install_dir` and
// points the desktop shortcut at it; returns the launcher's path. In order:
// the installation must be recognised (resolve_launch_target's message);
// the runtime folder is created and hidden; the source is taken
// ("读取启动器路径失败：{e}"); unless the source already is the launcher, its
// file must be open ("读取校验文件失败：{e}"), a leftover backup is settled, the launcher is
// refreshed from the source and an archived backup is deleted; a launcher of the older layout is
// hidden (refused when not a plain file); then the shortcut is written. The first failure ends it
// with its message.
Result<std::string> install_startup_launcher(
    const std::string& install_dir,
    const LauncherSource& source = running_image,
    const LauncherPlatform& platform = system_launcher_platform());

}  // namespace velmo

#endif  // VELMO_PRODUCT_INSTALL_STARTUP_LAUNCHER_H_
