#ifndef VELMO_ENVIRONMENT_ENVIRONMENT_REPORT_H_
#define VELMO_ENVIRONMENT_ENVIRONMENT_REPORT_H_

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace velmo {

// What the environment check found: the system's label and verdict, and per
// component whether it is installed (components 1..5) and whether its file is
// downloaded and usable (components 0..5).
struct EnvironmentReport {
  std::string os_label;
  std::string verdict;
  bool supported = false;
  std::array<bool, 5> present{};
  std::array<bool, 6> ready{};
};

// The report and the workbench state written beside it: 0 not installed,
// 1 installed with an update available, 2 installed at the target version.
struct EnvironmentCheck {
  std::optional<EnvironmentReport> report;
  uint8_t workbench_state = 0;
};

// Runs the environment check for the given install directory.
// Interim: until Windows classification and component detection exist this
// reports nothing (no report, workbench not installed).
EnvironmentCheck check_environment(const std::optional<std::string>& install_dir);

// Finds the workbench's install directory (recorded location, else a default).
// Interim: until install-location discovery exists it finds none.
std::optional<std::string> discover_install_location();

}  // namespace velmo

#endif  // VELMO_ENVIRONMENT_ENVIRONMENT_REPORT_H_
