#include "ui/ui_state.h"

namespace velmo {

void InstallStartTime::set(std::optional<Instant> instant) {
  std::lock_guard lock(mutex_);
  instant_ = instant;
}

std::optional<InstallStartTime::Instant> InstallStartTime::get() const {
  std::lock_guard lock(mutex_);
  return instant_;
}

InstallStartTime& install_start_time() {
  static InstallStartTime slot;
  return slot;
}

void apply_environment_check(UiState& state, const EnvironmentCheck& check) {
  state.report = check.report;
  state.workbench_state = check.workbench_state;
}

}  // namespace velmo
