#ifndef VELMO_PRODUCT_INSTALL_COMMAND_LIBRARY_H_
#define VELMO_PRODUCT_INSTALL_COMMAND_LIBRARY_H_

#include <string>

#include "platform/result.h"

namespace velmo {

inline constexpr char kCommandLibraryDirName[] = "engine-db";

// The old command library ("engine-db") moved aside while an install runs.
// Older installations kept it beside the main program; the current program
// carries its own, so an install retires the directory: moved to the backup
// name first, put back if the install fails, deleted once it succeeded. Only
// ever renamed within the install directory, so each state is undone by one
// rename. Discarding the guard while it still owns the backup puts the
// library back (the result is ignored: the operation already reports its
// own failure).
class CommandLibraryBackup {
 public:
  CommandLibraryBackup() = default;
  CommandLibraryBackup(std::string library_path, std::string backup_path, bool active);
  ~CommandLibraryBackup();
  CommandLibraryBackup(CommandLibraryBackup&& other) noexcept;
  CommandLibraryBackup& operator=(CommandLibraryBackup&& other) noexcept;
  CommandLibraryBackup(const CommandLibraryBackup&) = delete;
  CommandLibraryBackup& operator=(const CommandLibraryBackup&) = delete;

  const std::string& library_path() const { return library_path_; }
  const std::string& backup_path() const { return backup_path_; }
  bool active() const { return active_; }

 private:
  friend Status restore_command_library(CommandLibraryBackup& backup);
  friend Status finish_command_library_migration(CommandLibraryBackup& backup);

  std::string library_path_;
  std::string backup_path_;
  bool active_ = false;
};

// Moves "engine-db" of `install_dir` to its backup name. Only inside a
// recognised installation, only a plain directory, and never over a backup
// an earlier run left behind.
Result<CommandLibraryBackup> backup_command_library(const std::string& install_dir,
                                                    bool recognised);

// Puts the library back under its name, unless something else is there now.
Status restore_command_library(CommandLibraryBackup& backup);

// Retires the library after a successful install: the backup goes to a
// recovery name, then is deleted without following links inside (a failed
// delete only leaves the recovery directory behind).
Status finish_command_library_migration(CommandLibraryBackup& backup);

}  // namespace velmo

#endif  // VELMO_PRODUCT_INSTALL_COMMAND_LIBRARY_H_
