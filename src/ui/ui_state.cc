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
  }
  // The runtime comes first: until it is present it is what the screen
  // reports on.
  state.current_component =
      check.report.present[3] ? Component::Workbench : Component::WebView2Runtime;
}

bool is_supported(const UiState& state) {
  return state.report && state.report->supported;
}

int components_to_install(const UiState& state) {
  if (!state.report) {
    return 2;
  }
  // present[] holds components 1..5 at index component-1.
  const bool webview2 = state.report->present[3];
  const bool workbench = state.report->present[4];
  return (webview2 ? 0 : 1) + (workbench ? 0 : 1);
}

}  // namespace velmo
