#ifndef VELMO_PRODUCT_INSTALL_IN_USE_CHECK_H_
#define VELMO_PRODUCT_INSTALL_IN_USE_CHECK_H_

#include <cstdint>
#include <string>

#include "platform/restart_manager.h"
#include "platform/result.h"

namespace velmo {

// Whether some process has the workbench program open, and the first one
// found.
struct InUseAnswer {
  bool in_use = false;
  uint32_t process_id = 0;

  bool operator==(const InUseAnswer&) const = default;
};

// Asks the Restart Manager who has the program at `executable_path` open.
// The path is resolved to its final canonical name first (links followed)
// and must be a regular file; the list is asked for at most three times,
// growing the buffer when the system wants more room. Any answer that is not
// a clear "these processes" or "none" fails: replacing a running program is
// the one thing the update must never do.
Result<InUseAnswer> query_workbench_in_use(const std::string& executable_path,
                                           RestartManager& rm = system_restart_manager());

// Succeeds when the installation in `install_dir` can be updated: either it
// is not a recognised installation (nothing of ours to overwrite), or its
// main program is not in use. Fails with the query's message, or with
// "VelmoQen工作台仍在退出，请稍候重新检测后继续更新。" while a process holds it.
Status ensure_workbench_not_running(const std::string& install_dir,
                                    RestartManager& rm = system_restart_manager());

}  // namespace velmo

#endif  // VELMO_PRODUCT_INSTALL_IN_USE_CHECK_H_
