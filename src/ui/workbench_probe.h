#ifndef VELMO_UI_WORKBENCH_PROBE_H_
#define VELMO_UI_WORKBENCH_PROBE_H_

#include "platform/result.h"
#include "ui/ui_services.h"
#include "ui/ui_state.h"

namespace velmo {

// Whether the workbench program in the record's install directory is in use
// right now. Fails with the in-use check's message, or with
// "没有可用的工作台安装目录。" when no directory is known.
Result<bool> probe_workbench_in_use(const UiState& state, const UiServices& services);

}  // namespace velmo

#endif  // VELMO_UI_WORKBENCH_PROBE_H_
