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
  // Without a known install location the previous rating stays.
  if (check.workbench_status) {
    state.workbench_state = static_cast<uint8_t>(*check.workbench_status);
    state.is_update = *check.workbench_status == InstalledStatus::kOutdated;
  }
  // The runtime comes first: until it is present it is what the screen
  // reports on.
  state.current_component =
      check.report.present[3] ? Component::Workbench : Component::WebView2Runtime;
}

}  // namespace velmo
