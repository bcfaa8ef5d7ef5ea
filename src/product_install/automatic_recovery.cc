#include "product_install/automatic_recovery.h"

#include "environment/data_directory.h"
#include "platform/file_system.h"
#include "platform/secure_directory.h"
#include "platform/windows_path.h"
#include "product_install/install_source.h"
#include "product_install/main_program_install.h"

namespace velmo {

namespace {

// The folder of the verified program copies, repaired like the downloads
// around it, or nothing when it cannot be made ours.
std::optional<std::string> trusted_download_directory() {
  const Result<std::string> downloads = download_directory();
  if (!downloads) {
    return std::nullopt;
  }
  const std::optional<std::string> copies = parent_path(main_program_cache_path(*downloads, "0"));
  if (copies && path_exists(*copies) && !secure_directory(*copies)) {
    return std::nullopt;
  }
  return *downloads;
}

// Whether no process runs the program under its own name or its backup's.
// A name that does not exist runs nothing: an update stopped between its
// renames leaves the program under one of them only.
bool is_idle(const std::string& install_dir, RestartManager& rm) {
  const InstallPaths paths(install_dir);
  for (const std::string& program : {paths.main_program, paths.program_backup}) {
    if (!path_exists(program)) {
      continue;
    }
    const Result<InUseAnswer> answer = query_workbench_in_use(program, rm);
    if (!answer || answer->in_use) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::optional<RecoveryOutcome> recover_before_use(const std::string& install_dir,
                                                  RestartManager& rm) {
  const std::optional<std::string> downloads = trusted_download_directory();
  if (!downloads || !is_secure_directory(install_dir) || !is_idle(install_dir, rm)) {
    return std::nullopt;
  }
  return recover_interrupted_update(install_dir, *downloads);
}

}  // namespace velmo
