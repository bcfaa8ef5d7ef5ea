#ifndef VELMO_PRODUCT_INSTALL_MAIN_PROGRAM_INSTALL_H_
#define VELMO_PRODUCT_INSTALL_MAIN_PROGRAM_INSTALL_H_

#include <functional>
#include <string>
#include <string_view>

#include "platform/os_error.h"
#include "platform/result.h"
#include "product_install/install_source.h"
#include "product_install/startup_launcher.h"

namespace velmo {

// The files of an installation, joined to its directory.
struct InstallPaths {
  explicit InstallPaths(const std::string& install_dir);

  std::string install_dir;
  std::string main_program;     // "VelmoQen工作台.exe"
  std::string manifest;         // "install-manifest.json"
  std::string program_backup;   // "...exe.velmo-update-backup"
  std::string manifest_backup;  // "...json.velmo-update-backup"
  std::string partial;          // "...exe.velmo-install-partial"
};

// The guard of one update: owns the old main program and manifest, moved to
// their backup names, until the new ones are committed. Discarded while
// still active (the operation failed in between), it puts them back and
// ignores the result; the operation reports its own failure. For a fresh
// install it owns the new files instead, and a restore removes them.
class MainProgramBackup {
 public:
  MainProgramBackup(InstallPaths paths, bool has_backups);
  ~MainProgramBackup();
  MainProgramBackup(MainProgramBackup&& other) noexcept;
  MainProgramBackup& operator=(MainProgramBackup&&) = delete;
  MainProgramBackup(const MainProgramBackup&) = delete;
  MainProgramBackup& operator=(const MainProgramBackup&) = delete;

  bool active() const { return active_; }
  bool has_backups() const { return has_backups_; }

 private:
  friend Status commit_main_program_backup(MainProgramBackup& backup);
  friend Status restore_main_program(MainProgramBackup& backup);

  InstallPaths paths_;
  bool active_ = true;
  bool has_backups_ = false;
  // Progress of a restore, so a second attempt repeats only what is left.
  bool program_restored_ = false;
  bool manifest_restored_ = false;
};

// What the install needs from outside the file operations; tests replace
// them (a scripted in-use answer, a launcher step of their choice).
struct InstallServices {
  std::function<Status(const std::string& install_dir)> ensure_workbench_not_running;
  std::function<Status(const std::string& install_dir)> install_startup_launcher;
};

// The services of the real program: the Restart Manager gate, and the
// launcher step copying the running assistant.
InstallServices default_install_services();

// The same with the launcher copied from `assistant`: the file the running
// assistant holds, or for tools that are not the assistant themselves, the
// file they name.
InstallServices install_services_with_assistant(LauncherSource assistant);

// Refuses a drive root, and a directory that holds our file names without
// being a recognised installation.
Status validate_install_directory(const InstallPaths& paths, bool recognised);

// Sets leftover backups of an interrupted run aside under recovery names
// ("stale-program", "stale-manifest"), in a recognised installation only.
Status archive_stale_update_backups(const InstallPaths& paths, bool recognised);

// Moves the old main program and manifest to their backup names (update) or
// only starts the guard (fresh install).
Result<MainProgramBackup> backup_main_program(const InstallPaths& paths, bool recognised);

// Copies the verified program in under a temporary name, verifies the copy,
// renames it into place, writes the manifest and runs the launcher step.
Status install_main_program(const InstallSource& source,
                            const InstallPaths& paths,
                            std::string_view version,
                            const InstallServices& services);

// Drops the old files after a successful install.
Status commit_main_program_backup(MainProgramBackup& backup);

// Puts the old installation back (update) or removes the new files (fresh).
Status restore_main_program(MainProgramBackup& backup);

// Moves a backup back over its target, removing only a plain file there.
Status restore_file_from_backup(const std::string& target,
                                const std::string& backup,
                                std::string_view label);

// Deletes a plain file; nothing there is fine; anything else is kept and
// refused.
Status remove_plain_file_keep_other(const std::string& path, std::string_view label);

// Installs or updates the workbench in `install_dir` from a downloaded
// installer, proven against the stored release first. Either completes or
// leaves the previous installation as it was (saying so when putting it back
// failed); never touches a running workbench.
Status apply_verified_installer(const std::string& installer_path,
                                const std::string& install_dir,
                                const InstallServices& services = default_install_services());

}  // namespace velmo

#endif  // VELMO_PRODUCT_INSTALL_MAIN_PROGRAM_INSTALL_H_
