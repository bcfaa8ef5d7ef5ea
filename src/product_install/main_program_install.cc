#include "product_install/main_program_install.h"

#include <utility>

#include "environment/install_location.h"
#include "network/sha256_file.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/path_attributes.h"
#include "platform/recovery_path.h"
#include "platform/windows_path.h"
#include "product_files/install_manifest.h"
#include "product_install/command_library.h"
#include "product_install/install_directory.h"

namespace velmo {

namespace {

constexpr char kBackupSuffix[] = ".velmo-update-backup";
constexpr char kPartialSuffix[] = ".velmo-install-partial";
constexpr char kOlderLauncherName[] = "VelmoQen工作台启动器.exe";

std::string with_second_error(std::string message, std::string_view joint, const OsError& error) {
  return message + "；" + std::string(joint) + describe_os_error(error);
}

// Moves `first` then `second`; when the second move fails the first is
// undone, and both errors are reported when that fails too.
struct PairedMove {
  std::string first_from;
  std::string first_to;
  std::string second_from;
  std::string second_to;
  std::string first_phrase;
  std::string second_phrase;
  std::string undo_phrase;  // "恢复主程序备份也失败："
};

Status move_pair(const PairedMove& move) {
  if (!move.first_from.empty()) {
    if (auto renamed = rename_path(move.first_from, move.first_to); !renamed) {
      return fail(phrase_with_error(move.first_phrase, renamed.error()));
    }
  }
  if (move.second_from.empty()) {
    return ok();
  }
  auto renamed = rename_path(move.second_from, move.second_to);
  if (renamed) {
    return ok();
  }
  std::string message = phrase_with_error(move.second_phrase, renamed.error());
  if (!move.first_from.empty()) {
    if (auto undone = rename_path(move.first_to, move.first_from); !undone) {
      message = with_second_error(std::move(message), move.undo_phrase, undone.error());
    }
  }
  return fail(message);
}

// The copied program, verified before anything is replaced.
Status verify_partial(const InstallSource& source, const std::string& partial) {
  const uint64_t size = file_size(partial).value_or(0);
  if (size == source.bytes) {
    const Result<std::string> digest = sha256_file(partial);
    if (!digest) {
      return fail(digest.error());
    }
    if (digests_equal(*digest, source.sha256)) {
      return ok();
    }
  }
  (void)remove_file(partial);
  return fail("写入后的受保护主程序校验失败，旧版本不会被覆盖。");
}

// The cached program is read through one handle that denies writes and
// deletes for the whole copy, and the copy itself is proven afterwards, so
// nothing another process does to the cache can reach the install.
Status copy_and_flush(const InstallSource& source, const std::string& partial) {
  OsResult<File> cached = File::open_for_read_locked(source.path);
  if (!cached) {
    return fail(phrase_with_error("写入主程序临时文件失败", cached.error()));
  }
  if (auto copied = cached->copy_to(partial); !copied) {
    return fail(phrase_with_error("写入主程序临时文件失败", copied.error()));
  }
  {
    OsResult<File> file = File::open_append(partial);
    if (!file) {
      return fail(phrase_with_error("保存主程序临时文件失败", file.error()));
    }
    if (auto flushed = file->flush(); !flushed) {
      return fail(phrase_with_error("保存主程序临时文件失败", flushed.error()));
    }
  }
  return ok();
}

// The partial name did not exist when this run started (a leftover stops
// the install before), so whatever is there now is this run's own: it is
// removed on any failure, or every later run would refuse to go on.
Status place_new_program(const InstallSource& source, const InstallPaths& paths) {
  if (Status copied = copy_and_flush(source, paths.partial); !copied) {
    (void)remove_file(paths.partial);
    return copied;
  }
  if (Status verified = verify_partial(source, paths.partial); !verified) {
    (void)remove_file(paths.partial);
    return verified;
  }
  if (auto renamed = rename_path(paths.partial, paths.main_program); !renamed) {
    (void)remove_file(paths.partial);
    return fail(phrase_with_error("安装受保护主程序失败", renamed.error()));
  }
  return ok();
}

std::string restore_result(const Status& status) {
  return status ? "成功" : status.error();
}

}  // namespace

InstallPaths::InstallPaths(const std::string& dir)
    : install_dir(dir),
      main_program(path_join(dir, kMainProgramFileName)),
      manifest(path_join(dir, kInstallManifestFileName)),
      program_backup(main_program + kBackupSuffix),
      manifest_backup(manifest + kBackupSuffix),
      partial(main_program + kPartialSuffix) {}

MainProgramBackup::MainProgramBackup(InstallPaths paths, bool has_backups)
    : paths_(std::move(paths)), has_backups_(has_backups) {}

MainProgramBackup::~MainProgramBackup() {
  if (active_) {
    (void)restore_main_program(*this);
  }
}

MainProgramBackup::MainProgramBackup(MainProgramBackup&& other) noexcept
    : paths_(other.paths_),
      active_(std::exchange(other.active_, false)),
      has_backups_(other.has_backups_),
      program_restored_(other.program_restored_),
      manifest_restored_(other.manifest_restored_) {}

Status validate_install_directory(const InstallPaths& paths, bool recognised) {
  if (!parent_path(paths.install_dir)) {
    return fail("不能把磁盘根目录作为安装目录。");
  }
  if (recognised) {
    return ok();
  }
  for (const std::string& name :
       {paths.main_program, paths.manifest, path_join(paths.install_dir, kOlderLauncherName),
        path_join(paths.install_dir, kCommandLibraryDirName)}) {
    // A dangling link counts too: it is a name we cannot account for.
    if (path_exists(name)) {
      return fail(
          "安装目录包含同名程序、启动器、安装清单或旧命令库，但无法确认是本产品安装目录；"
          "请选择空目录。");
    }
  }
  return ok();
}

Status archive_stale_update_backups(const InstallPaths& paths, bool recognised) {
  const bool program_backup = path_exists(paths.program_backup);
  const bool manifest_backup = path_exists(paths.manifest_backup);
  if (!program_backup && !manifest_backup) {
    return ok();
  }
  if (!recognised) {
    return fail("检测到未处理的旧程序更新备份，且当前安装不完整；已保留现场并停止覆盖。");
  }
  if (program_backup && !is_plain_file(paths.program_backup)) {
    return fail("旧主程序更新备份不是普通文件，已保留现场并停止覆盖。");
  }
  if (manifest_backup && !is_plain_file(paths.manifest_backup)) {
    return fail("旧安装清单备份不是普通文件，已保留现场并停止覆盖。");
  }
  PairedMove move;
  if (program_backup) {
    move.first_from = paths.program_backup;
    move.first_to = make_recovery_path(paths.program_backup, "stale-program");
  }
  if (manifest_backup) {
    move.second_from = paths.manifest_backup;
    move.second_to = make_recovery_path(paths.manifest_backup, "stale-manifest");
  }
  move.first_phrase = "归档遗留主程序备份失败";
  move.second_phrase = "归档遗留安装清单备份失败";
  move.undo_phrase = "恢复主程序备份也失败：";
  return move_pair(move);
}

Result<MainProgramBackup> backup_main_program(const InstallPaths& paths, bool recognised) {
  if (path_exists(paths.program_backup) || path_exists(paths.manifest_backup)) {
    return fail("检测到未处理的旧程序更新备份，已拒绝继续覆盖。");
  }
  if (!recognised) {
    return MainProgramBackup(paths, false);
  }
  if (!is_plain_file(paths.main_program) || !is_plain_file(paths.manifest)) {
    return fail("旧主程序或安装清单不是普通文件，已拒绝覆盖。");
  }
  const PairedMove move{.first_from = paths.main_program,
                        .first_to = paths.program_backup,
                        .second_from = paths.manifest,
                        .second_to = paths.manifest_backup,
                        .first_phrase = "备份旧主程序失败",
                        .second_phrase = "备份旧安装清单失败",
                        .undo_phrase = "恢复旧主程序也失败："};
  if (Status moved = move_pair(move); !moved) {
    return fail(moved.error());
  }
  return MainProgramBackup(paths, true);
}

Status install_main_program(const InstallSource& source,
                            const InstallPaths& paths,
                            std::string_view version,
                            const InstallServices& services) {
  if (Status placed = place_new_program(source, paths); !placed) {
    return placed;
  }
  if (Status written = write_install_manifest(paths.manifest, paths.install_dir, paths.main_program,
                                              std::string(version));
      !written) {
    return written;
  }
  return services.install_startup_launcher(paths.install_dir);
}

Status commit_main_program_backup(MainProgramBackup& backup) {
  if (!backup.active_) {
    return ok();
  }
  if (!backup.has_backups_) {
    backup.active_ = false;
    return ok();
  }
  const InstallPaths& paths = backup.paths_;
  const PairedMove move{.first_from = paths.program_backup,
                        .first_to = make_recovery_path(paths.program_backup, "program"),
                        .second_from = paths.manifest_backup,
                        .second_to = make_recovery_path(paths.manifest_backup, "manifest"),
                        .first_phrase = "收口旧主程序备份失败",
                        .second_phrase = "收口旧安装清单备份失败",
                        .undo_phrase = "恢复旧主程序备份也失败："};
  if (Status moved = move_pair(move); !moved) {
    return moved;
  }
  (void)remove_file(move.first_to);
  (void)remove_file(move.second_to);
  backup.active_ = false;
  return ok();
}

Status restore_main_program(MainProgramBackup& backup) {
  if (!backup.active_) {
    return ok();
  }
  const InstallPaths& paths = backup.paths_;
  if (!backup.has_backups_) {
    if (Status removed = remove_plain_file_keep_other(paths.main_program, "未完成的新主程序");
        !removed) {
      return removed;
    }
    if (Status removed = remove_plain_file_keep_other(paths.manifest, "未完成的新安装清单");
        !removed) {
      return removed;
    }
    backup.active_ = false;
    return ok();
  }
  if (!backup.program_restored_ && !is_plain_file(paths.program_backup)) {
    return fail("恢复旧安装前发现主程序备份缺失或类型异常，现有文件已保留。");
  }
  if (!backup.manifest_restored_ && !is_plain_file(paths.manifest_backup)) {
    return fail("恢复旧安装前发现安装清单备份缺失或类型异常，现有文件已保留。");
  }
  if (!backup.program_restored_) {
    if (Status restored =
            restore_file_from_backup(paths.main_program, paths.program_backup, "旧主程序");
        !restored) {
      return restored;
    }
    backup.program_restored_ = true;
  }
  if (!backup.manifest_restored_) {
    if (Status restored =
            restore_file_from_backup(paths.manifest, paths.manifest_backup, "旧安装清单");
        !restored) {
      return restored;
    }
    backup.manifest_restored_ = true;
  }
  backup.active_ = false;
  return ok();
}

Status restore_file_from_backup(const std::string& target,
                                const std::string& backup,
                                std::string_view label) {
  const std::string what(label);
  if (!is_plain_file(backup)) {
    return fail("恢复" + what + "前发现备份缺失或类型异常，现有文件已保留。");
  }
  if (Status removed = remove_plain_file_keep_other(target, "未完成的更新文件"); !removed) {
    return removed;
  }
  if (auto renamed = rename_path(backup, target); !renamed) {
    return fail(phrase_with_error("恢复" + what + "失败", renamed.error()));
  }
  return ok();
}

Status remove_plain_file_keep_other(const std::string& path, std::string_view label) {
  const OsResult<PathAttributes> attributes = read_path_attributes(path);
  if (!attributes) {
    return ok();
  }
  if (!is_plain_file(*attributes)) {
    return fail(std::string(label) + "不是普通文件，已保留现场。");
  }
  if (auto removed = remove_file(path); !removed) {
    return fail(phrase_with_error("清理" + std::string(label) + "失败", removed.error()));
  }
  return ok();
}

Status apply_verified_installer(const std::string& installer_path,
                                const std::string& install_dir,
                                const InstallServices& services) {
  const Result<VerifiedRelease> release = load_release();
  if (!release) {
    return fail(release.error());
  }
  const Result<InstallSource> source = prepare_install_source(installer_path, *release);
  if (!source) {
    return fail(source.error());
  }
  if (Status ready = prepare_install_directory(install_dir); !ready) {
    return ready;
  }
  const InstallPaths paths(install_dir);
  const bool recognised = read_install_manifest(install_dir).has_value();
  if (Status valid = validate_install_directory(paths, recognised); !valid) {
    return valid;
  }
  if (Status idle = services.ensure_workbench_not_running(install_dir); !idle) {
    return idle;
  }
  if (path_exists(paths.partial)) {
    return fail("检测到未处理的主程序安装临时文件，已拒绝继续覆盖。");
  }
  if (Status archived = archive_stale_update_backups(paths, recognised); !archived) {
    return archived;
  }
  Result<MainProgramBackup> program_backup = backup_main_program(paths, recognised);
  if (!program_backup) {
    return fail(program_backup.error());
  }
  Result<CommandLibraryBackup> library_backup = backup_command_library(install_dir, recognised);
  if (!library_backup) {
    return fail(library_backup.error());
  }
  const Status installed = install_main_program(*source, paths, release->latest_version, services);
  if (!installed) {
    const Status program_restored = restore_main_program(*program_backup);
    const Status library_restored = restore_command_library(*library_backup);
    if (program_restored && library_restored) {
      return installed;
    }
    return fail(installed.error() + "；自动恢复失败：主程序=" + restore_result(program_restored) +
                "，旧命令库=" + restore_result(library_restored));
  }
  if (Status committed = commit_main_program_backup(*program_backup); !committed) {
    return committed;
  }
  if (Status finished = finish_command_library_migration(*library_backup); !finished) {
    return finished;
  }
  return record_install_location(install_dir);
}

}  // namespace velmo
