#include "product_install/automatic_recovery.h"

#include "environment/data_directory.h"
#include "platform/file_system.h"
#include "platform/secure_directory.h"
#include "platform/windows_path.h"
#include "product_files/install_manifest.h"
#include "product_install/install_source.h"

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

bool is_idle(const std::string& install_dir, RestartManager& rm) {
  const Result<InUseAnswer> answer =
      query_workbench_in_use(path_join(install_dir, kMainProgramFileName), rm);
  return answer && !answer->in_use;
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
