#include "product_install/launcher_leftovers.h"

#include "platform/file_system.h"
#include "platform/path_attributes.h"
#include "platform/recovery_path.h"

namespace velmo {

Result<std::optional<std::string>> settle_leftover_backup(const LauncherLayout& layout) {
  if (!path_exists(layout.backup)) {
    return std::nullopt;
  }
  // A directory or link under the backup's name was not made by us; moving
  // it into the launcher's place would hand the shortcut to it.
  if (!is_plain_file(layout.backup)) {
    return fail("遗留的启动器更新备份不是普通文件，已保留现场并停止覆盖。");
  }
  if (!path_exists(layout.launcher)) {
    if (auto restored = rename_path(layout.backup, layout.launcher); !restored) {
      return fail(phrase_with_error("恢复遗留工作台启动器失败", restored.error()));
    }
    return std::nullopt;
  }
  if (!is_plain_file(layout.launcher)) {
    return fail("当前工作台启动器不是普通文件，已保留遗留备份并停止覆盖。");
  }
  // Moved aside, not deleted: should this run fail too, the old launcher
  // still exists somewhere beside the new one.
  std::string archived = make_recovery_path(layout.backup, kStaleLauncherBackupTag);
  if (auto moved = rename_path(layout.backup, archived); !moved) {
    return fail(phrase_with_error("归档遗留工作台启动器备份失败", moved.error()));
  }
  return archived;
}

void discard_archived_backup(const std::string& archived) {
  if (is_plain_file(archived)) {
    (void)remove_file(archived);
  }
}

Status clear_leftover_part(const std::string& part) {
  if (!path_exists(part)) {
    return ok();
  }
  // Deleting a link would be harmless, but copying onto the name later
  // would write through it; a foreign object here means stop and look.
  if (!is_plain_file(part)) {
    return fail("遗留的启动器安装临时文件不是普通文件，已保留现场并停止覆盖。");
  }
  if (auto removed = remove_file(part); !removed) {
    return fail(phrase_with_error("清理启动器安装临时文件失败", removed.error()));
  }
  return ok();
}

}  // namespace velmo
