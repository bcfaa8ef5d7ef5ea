#include "ui/workbench_probe.h"

#include "platform/windows_path.h"
#include "product_files/install_manifest.h"

namespace velmo {

Result<bool> probe_workbench_in_use(const UiState& state, const UiServices& services) {
  if (!state.install_dir) {
    return fail("没有可用的工作台安装目录。");
  }
  return services.query_in_use(join_path(state.install_dir->path, kMainProgramFileName));
}

}  // namespace velmo
