#include "product_install/command_library.h"

#include <utility>

#include "platform/file_system.h"
#include "platform/path_attributes.h"
#include "platform/recovery_path.h"

namespace velmo {

CommandLibraryBackup::CommandLibraryBackup(std::string library_path,
                                           std::string backup_path,
                                           bool active)
    : library_path_(std::move(library_path)),
      backup_path_(std::move(backup_path)),
      active_(active) {}

CommandLibraryBackup::~CommandLibraryBackup() {
  if (active_) {
    (void)restore_command_library(*this);
  }
}

CommandLibraryBackup::CommandLibraryBackup(CommandLibraryBackup&& other) noexcept
    : library_path_(std::move(other.library_path_)),
      backup_path_(std::move(other.backup_path_)),
      active_(std::exchange(other.active_, false)) {}

CommandLibraryBackup& CommandLibraryBackup::operator=(CommandLibraryBackup&& other) noexcept {
  if (this != &other) {
    if (active_) {
      (void)restore_command_library(*this);
    }
    library_path_ = std::move(other.library_path_);
    backup_path_ = std::move(other.backup_path_);
    active_ = std::exchange(other.active_, false);
  }
  return *this;
}

Result<CommandLibraryBackup> backup_command_library(const std::string& install_dir,
                                                    bool recognised) {
  const std::string library = path_join(install_dir, kCommandLibraryDirName);
  const std::string backup = library + ".velmo-installer-backup";
  if (path_exists(backup)) {
    return fail("检测到未处理的旧命令库备份，已拒绝继续覆盖。");
  }
  if (!path_exists(library)) {
    return CommandLibraryBackup(library, backup, false);
  }
  if (!recognised) {
    return fail("安装目录包含非本产品管理的旧命令库，已拒绝移动。");
  }
  const OsResult<PathAttributes> attributes = read_path_attributes(library);
  if (!attributes) {
    return fail(phrase_with_error("检查旧命令库失败", attributes.error()));
  }
  if (!is_plain_directory(*attributes)) {
    return fail("旧命令库不是受支持的普通目录，已拒绝移动。");
  }
  if (auto renamed = rename_path(library, backup); !renamed) {
    return fail(phrase_with_error("备份旧命令库失败", renamed.error()));
  }
  return CommandLibraryBackup(library, backup, true);
}

Status restore_command_library(CommandLibraryBackup& backup) {
  if (!backup.active_) {
    return ok();
  }
  if (path_exists(backup.library_path_)) {
    return fail("恢复旧命令库时发现未知目标，备份已保留。");
  }
  if (auto renamed = rename_path(backup.backup_path_, backup.library_path_); !renamed) {
    return fail(phrase_with_error("恢复旧命令库失败", renamed.error()));
  }
  backup.active_ = false;
  return ok();
}

Status finish_command_library_migration(CommandLibraryBackup& backup) {
  if (!backup.active_) {
    return ok();
  }
  const std::string recovery = make_recovery_path(backup.backup_path_, "engine-db");
  if (auto renamed = rename_path(backup.backup_path_, recovery); !renamed) {
    return fail(phrase_with_error("收口旧命令库备份失败", renamed.error()));
  }
  backup.active_ = false;
  // The library is retired either way; a tree that cannot be deleted now
  // only stays behind under its recovery name.
  (void)remove_directory_tree(recovery);
  return ok();
}

}  // namespace velmo
