#include "environment/environment_check.h"

#include "environment/windows_classification.h"

namespace velmo {

namespace {

// Index of component N in `present` (components 1..5).
constexpr size_t kWorkbenchPresent = 4;
// Index of component N in `ready` (components 0..5).
constexpr size_t kWebView2Ready = 4;
constexpr size_t kWorkbenchReady = 5;

void copy_detection(const ComponentDetection& detection, EnvironmentReport& report) {
  report.present = {detection.sp1_present, detection.kb4490628_present, detection.kb4474419_present,
                    detection.webview2_present, detection.workbench_current};
  report.ready = {};
  report.ready[kWebView2Ready] = detection.webview2_bootstrapper_ready;
  report.ready[kWorkbenchReady] = detection.workbench_installer_ready;
}

}  // namespace

EnvironmentCheck check_environment(const std::optional<std::string>& install_dir,
                                   const EnvironmentProbes& probes) {
  EnvironmentCheck check;
  WindowsClassification system = classify_windows(probes.read_os_version());
  check.report.os_label = std::move(system.os_label);
  check.report.verdict = std::move(system.verdict);
  check.report.supported = system.supported;
  if (system.supported) {
    copy_detection(probes.detect_components(), check.report);
  }
  // The chosen location may differ from the discovered one that detection
  // rated; the chosen one decides.
  if (install_dir) {
    const InstalledStatus status = probes.installed_status(*install_dir);
    check.workbench_status = status;
    check.report.present[kWorkbenchPresent] = status == InstalledStatus::kCurrent;
  }
  return check;
}

}  // namespace velmo
