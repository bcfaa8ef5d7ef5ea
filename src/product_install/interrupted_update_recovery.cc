#include "product_install/interrupted_update_recovery.h"

#include <optional>
#include <utility>

#include "network/sha256_file.h"
#include "platform/file_system.h"
#include "platform/path_attributes.h"
#include "platform/recovery_path.h"
#include "platform/secure_directory.h"
#include "product_files/install_manifest.h"
#include "product_files/launcher_layout.h"
#include "product_install/command_library.h"
#include "product_install/install_source.h"
#include "product_install/main_program_install.h"

// What an update leaves when it is killed, and why each rule below may
// trust what it finds.
//
// The update makes its names in this order: the recognised program moves to
// its backup name, then its manifest; "engine-db" moves to its backup; the
// new program is copied to the partial name, verified against the verified
// cache copy and renamed to the program name; only then is the new manifest
// created and written; the launcher step follows; the commit finally moves
// the program backup, then the manifest backup, to recovery names. A failed
// step is undone in the reverse order (old program back, then its manifest).
//
// The manifest records no digest of its program, so nothing here can check
// a program's bytes against its manifest. A program is proven to belong to a
// manifest in one of these ways, and in no other:
//  - the two sit under the backup names together: only the backup step
//    makes them, by renaming a pair the update had just recognised, and it
//    refuses to run while either name is taken, so they come from one run;
//  - the program sits under its backup name and its manifest still under
//    its own name with no program beside it: the update was stopped between
//    its two backup renames;
//  - the program under its own name is the verified cache copy of the
//    version a manifest names (same size and SHA-256); and when that copy
//    exists but differs, the program is not that manifest's, which leaves
//    the backup manifest as the only one it can belong to;
//  - a recognised installation with no backup beside it: the assistant
//    trusts it everywhere else too.
// An update stopped before its commit is rolled back, even when its new
// program and manifest were already complete: its own failure handling
// would have done the same, and the backup pair is the one proof that needs
// no cache. Once the commit has begun (the program backup is gone) the new
// pair is kept when the cache proves it.
// Everything named by the update that is not part of the proven pair is set
// aside under a recovery name: a new program without its manifest, a partial
// copy (never completed into place, and never removed automatically), links
// at backup names (renamed themselves, never followed). Files of other names
// are not the update's and are not looked at.

namespace velmo {

namespace {

using Kind = RecoveryAction::Kind;

constexpr char kCannotProve[] =
    "安装目录中没有能确认的工作台主程序和安装清单，未做任何改动；请重新安装工作台。";
constexpr char kCannotTell[] =
    "无法确认现有主程序属于哪一份安装清单（缺少已校验的主程序缓存），未做任何改动。";
constexpr char kNotPlainDirectory[] = "安装目录不是受支持的普通目录，已拒绝写入。";

// One planned rename: a restore moves `path` to `target`; setting aside
// moves it to a recovery name made with the tag `target`.
struct Step {
  Kind kind;
  std::string item;
  std::string path;
  std::string target;
  bool directory = false;  // a restore of the command library
};

using Plan = std::vector<Step>;

struct RecoveryNames {
  InstallPaths install;
  LauncherLayout launcher;
  std::string library;
  std::string library_backup;
};

RecoveryNames recovery_names(const std::string& install_dir) {
  const std::string library = path_join(install_dir, kCommandLibraryDirName);
  return RecoveryNames{.install = InstallPaths(install_dir),
                       .launcher = launcher_layout(install_dir),
                       .library = library,
                       .library_backup = library + ".velmo-installer-backup"};
}

void set_aside_if_present(Plan& plan, std::string item, const std::string& path, std::string tag) {
  if (path_exists(path)) {
    plan.push_back({Kind::kSetAside, std::move(item), path, std::move(tag)});
  }
}

void restore(Plan& plan, std::string item, const std::string& from, const std::string& to) {
  plan.push_back({Kind::kRestored, std::move(item), from, to});
}

bool same_content(const std::string& a, const std::string& b) {
  if (!is_plain_file(a) || !is_plain_file(b)) {
    return false;
  }
  const OsResult<uint64_t> size_a = file_size(a);
  const OsResult<uint64_t> size_b = file_size(b);
  if (!size_a || !size_b || *size_a != *size_b) {
    return false;
  }
  const Result<std::string> digest_a = sha256_file(a);
  const Result<std::string> digest_b = sha256_file(b);
  return digest_a && digest_b && digests_equal(*digest_a, *digest_b);
}

// Back to the pair under the backup names; whatever holds their own names
// now is the stopped update's and is set aside first, so a recovery killed
// half-way leaves one of the states the update itself can leave.
Plan roll_back(const InstallPaths& paths) {
  Plan plan;
  set_aside_if_present(plan, "program", paths.main_program, "interrupted-program");
  set_aside_if_present(plan, "manifest", paths.manifest, "interrupted-manifest");
  restore(plan, "manifest", paths.manifest_backup, paths.manifest);
  restore(plan, "program", paths.program_backup, paths.main_program);
  return plan;
}

// The program under its own name with a manifest backup and no program
// backup: a restore stopped between its two renames, or a commit or archive
// stopped between theirs. Only the verified cache copy tells which.
Result<Plan> pair_program_with_manifests(const InstallPaths& paths,
                                         const std::string& download_directory) {
  const std::optional<InstallManifest> current =
      read_manifest_file_for(paths.manifest, paths.install_dir);
  Plan plan;
  if (current) {
    const std::string cache = main_program_cache_path(download_directory, current->version);
    // A copy another account could have changed proves nothing.
    if (!is_trusted_file(cache)) {
      return fail(kCannotTell);
    }
    if (same_content(paths.main_program, cache)) {
      set_aside_if_present(plan, "manifestBackup", paths.manifest_backup, "stale-manifest");
      return plan;
    }
  }
  set_aside_if_present(plan, "manifest", paths.manifest, "interrupted-manifest");
  restore(plan, "manifest", paths.manifest_backup, paths.manifest);
  return plan;
}

Result<Plan> plan_program(const InstallPaths& paths, const std::string& download_directory) {
  const std::string& dir = paths.install_dir;
  const bool program_backup = is_plain_file(paths.program_backup);
  const bool manifest_backup = read_manifest_file_for(paths.manifest_backup, dir).has_value();
  if (program_backup && manifest_backup) {
    return roll_back(paths);
  }
  if (program_backup && !path_exists(paths.manifest_backup) && !path_exists(paths.main_program) &&
      read_manifest_file_for(paths.manifest, dir)) {
    Plan plan;
    restore(plan, "program", paths.program_backup, paths.main_program);
    return plan;
  }
  if (manifest_backup && !path_exists(paths.program_backup) && is_plain_file(paths.main_program)) {
    return pair_program_with_manifests(paths, download_directory);
  }
  if (read_install_manifest(dir)) {
    Plan plan;
    set_aside_if_present(plan, "programBackup", paths.program_backup, "stale-program");
    set_aside_if_present(plan, "manifestBackup", paths.manifest_backup, "stale-manifest");
    return plan;
  }
  return fail(kCannotProve);
}

// The old command library comes back when its name is free (the old program
// needs it; a new one leaves it for the next update to retire).
void plan_command_library(const RecoveryNames& names, Plan& plan) {
  if (!path_exists(names.library_backup)) {
    return;
  }
  if (is_plain_directory(names.library_backup) && !path_exists(names.library)) {
    plan.push_back({Kind::kRestored, "commandLibrary", names.library_backup, names.library, true});
    return;
  }
  plan.push_back(
      {Kind::kSetAside, "commandLibraryBackup", names.library_backup, "stale-engine-db"});
}

// Inside the runtime folder only when it is a plain directory: through a
// link nothing is ours to move.
void plan_launcher(const LauncherLayout& launcher, Plan& plan) {
  if (!is_plain_directory(launcher.runtime_folder)) {
    return;
  }
  if (path_exists(launcher.backup)) {
    if (is_plain_file(launcher.backup) && !path_exists(launcher.launcher)) {
      restore(plan, "launcher", launcher.backup, launcher.launcher);
    } else {
      plan.push_back({Kind::kSetAside, "launcherBackup", launcher.backup, kStaleLauncherBackupTag});
    }
  }
  set_aside_if_present(plan, "launcherPart", launcher.part, "interrupted-startup-helper");
}

Result<Plan> plan_recovery(const RecoveryNames& names, const std::string& download_directory) {
  Result<Plan> plan = plan_program(names.install, download_directory);
  if (!plan) {
    return plan;
  }
  set_aside_if_present(*plan, "partialProgram", names.install.partial, "interrupted-partial");
  plan_command_library(names, *plan);
  plan_launcher(names.launcher, *plan);
  return plan;
}

// A restore moves only what it planned to: the source is checked once more
// right before the rename, and the rename never replaces a target.
Result<RecoveryAction> run_step(const Step& step) {
  if (step.kind == Kind::kSetAside) {
    std::string to = make_recovery_path(step.path, step.target);
    if (auto renamed = rename_path(step.path, to); !renamed) {
      return fail(phrase_with_error("归档遗留更新文件失败", renamed.error()));
    }
    return RecoveryAction{Kind::kSetAside, step.item, step.path, std::move(to)};
  }
  if (step.directory ? !is_plain_directory(step.path) : !is_plain_file(step.path)) {
    return fail("恢复前发现更新备份缺失或类型异常，现有文件已保留。");
  }
  if (auto renamed = rename_path(step.path, step.target); !renamed) {
    return fail(phrase_with_error("恢复更新备份失败", renamed.error()));
  }
  return RecoveryAction{Kind::kRestored, step.item, step.path, step.target};
}

// What the next update would refuse, or a directory that is still no
// installation, fails the recovery even after every step succeeded.
Status check_recovered(const RecoveryNames& names) {
  for (const std::string& leftover : {names.install.program_backup, names.install.manifest_backup,
                                      names.install.partial, names.library_backup}) {
    if (path_exists(leftover)) {
      return fail("恢复后仍有未处理的更新遗留文件：" + leftover);
    }
  }
  return ok();
}

}  // namespace

RecoveryOutcome recover_interrupted_update(const std::string& install_dir,
                                           const std::string& download_directory) {
  RecoveryOutcome outcome;
  if (!is_plain_directory(install_dir)) {
    outcome.status = fail(kNotPlainDirectory);
    return outcome;
  }
  const RecoveryNames names = recovery_names(install_dir);
  const Result<Plan> plan = plan_recovery(names, download_directory);
  if (!plan) {
    outcome.status = fail(plan.error());
    return outcome;
  }
  for (const Step& step : *plan) {
    Result<RecoveryAction> action = run_step(step);
    if (!action) {
      outcome.status = fail(action.error());
      return outcome;
    }
    outcome.actions.push_back(std::move(*action));
  }
  const std::optional<InstallManifest> manifest = read_install_manifest(install_dir);
  if (!manifest) {
    outcome.status = fail(kCannotProve);
    return outcome;
  }
  outcome.status = check_recovered(names);
  outcome.version = manifest->version;
  return outcome;
}

}  // namespace velmo
