#include "product_install/startup_launcher.h"

#include <optional>

#include "platform/file_system.h"
#include "platform/path_attributes.h"
#include "platform/process.h"
#include "platform/windows_path.h"
#include "product_files/install_manifest.h"
#include "product_files/launcher_layout.h"
#include "product_install/desktop_shortcut.h"
#include "product_install/launcher_leftovers.h"
#include "product_install/launcher_replacement.h"

namespace velmo {

namespace {

Status prepare_runtime_folder(const std::string& folder, const LauncherPlatform& platform) {
  if (auto made = create_directories(folder); !made) {
    return fail(phrase_with_error("创建工作台运行组件目录失败", made.error()));
  }
  // A link or junction under the folder's name would make every copy,
  // rename and delete below act on a place we never identified.
  if (!is_plain_directory(folder)) {
    return fail("工作台运行组件目录不是普通目录，已停止覆盖。");
  }
  return platform.hide_path(folder);
}

Status prepare_launcher_folder(const std::string& launcher) {
  const std::optional<std::string> folder = parent_path(launcher);
  if (!folder) {
    return fail("工作台启动器目标目录无效。");
  }
  if (auto made = create_directories(*folder); !made) {
    return fail(phrase_with_error("创建工作台启动器目录失败", made.error()));
  }
  return ok();
}

// Makes the launcher a copy of the source. A backup set aside on the way is
// deleted only once the new launcher is in place, so a failure anywhere
// before leaves an old launcher to go back to.
Status place_launcher(File& source, const LauncherLayout& layout) {
  if (Status ready = prepare_launcher_folder(layout.launcher); !ready) {
    return ready;
  }
  const Result<std::optional<std::string>> archived = settle_leftover_backup(layout);
  if (!archived) {
    return fail(archived.error());
  }
  if (Status refreshed = refresh_launcher(source, layout); !refreshed) {
    return refreshed;
  }
  if (*archived) {
    discard_archived_backup(**archived);
  }
  return ok();
}

// Earlier releases kept the launcher in the install directory itself. It
// stays, since old shortcuts may still name it, but out of sight.
Status hide_older_launcher(const std::string& older, const LauncherPlatform& platform) {
  if (!path_exists(older)) {
    return ok();
  }
  if (!is_plain_file(older)) {
    return fail("旧工作台启动器不是普通文件，已拒绝处理。");
  }
  return platform.hide_path(older);
}

}  // namespace

OsResult<std::string> running_program_file() {
  std::optional<std::string> path = current_program_path();
  if (!path) {
    // Read at once: the failed call left its reason as the last error.
    return std::unexpected(last_os_error());
  }
  return std::move(*path);
}

OsResult<LauncherFile> running_image() {
  const OsResult<std::string> path = running_program_file();
  if (!path) {
    return std::unexpected(path.error());
  }
  return LauncherFile{*path, File::open_running_image()};
}

LauncherSource launcher_source_named(std::function<OsResult<std::string>()> path) {
  return [path = std::move(path)]() -> OsResult<LauncherFile> {
    OsResult<std::string> name = path();
    if (!name) {
      return std::unexpected(name.error());
    }
    OsResult<File> file = File::open_for_read_locked(*name);
    return LauncherFile{std::move(*name), std::move(file)};
  };
}

LauncherSource launcher_source_at(std::string path) {
  return launcher_source_named(
      [path = std::move(path)]() -> OsResult<std::string> { return path; });
}

LauncherSource held_launcher_source(std::shared_ptr<const File> file, std::string path) {
  return [file = std::move(file), path = std::move(path)]() -> OsResult<LauncherFile> {
    return LauncherFile{path, file->duplicate()};
  };
}

Result<std::string> install_startup_launcher(const std::string& install_dir,
                                             const LauncherSource& source,
                                             const LauncherPlatform& platform) {
  const Result<std::string> main_program = resolve_launch_target(install_dir);
  if (!main_program) {
    return fail(main_program.error());
  }
  const LauncherLayout layout = launcher_layout(install_dir);
  if (Status ready = prepare_runtime_folder(layout.runtime_folder, platform); !ready) {
    return fail(ready.error());
  }
  OsResult<LauncherFile> source_file = source();
  if (!source_file) {
    return fail(phrase_with_error("读取启动器路径失败", source_file.error()));
  }
  // Started from the launcher itself: it cannot be replaced by itself, and
  // it already is what it would be replaced with.
  if (!is_same_path(source_file->path, layout.launcher)) {
    if (!source_file->file) {
      return fail(phrase_with_error("读取校验文件失败", source_file->file.error()));
    }
    if (Status placed = place_launcher(*source_file->file, layout); !placed) {
      return fail(placed.error());
    }
  }
  if (Status hidden = hide_older_launcher(layout.older_launcher, platform); !hidden) {
    return fail(hidden.error());
  }
  const Result<std::string> shortcut =
      write_desktop_shortcut(install_dir, layout.launcher, *main_program, platform);
  if (!shortcut) {
    return fail(shortcut.error());
  }
  return layout.launcher;
}

}  // namespace velmo
