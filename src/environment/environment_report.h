#ifndef VELMO_ENVIRONMENT_ENVIRONMENT_REPORT_H_
#define VELMO_ENVIRONMENT_ENVIRONMENT_REPORT_H_

#include <array>
#include <optional>
#include <string>

#include "environment/install_location.h"

namespace velmo {

// What the environment check found: the system's label and verdict, and per
// component whether it is installed (components 1..5, at index component-1)
// and whether its file is downloaded and usable (components 0..5).
struct EnvironmentReport {
  std::string os_label;
  std::string verdict;
  bool supported = false;
  std::array<bool, 5> present{};
  std::array<bool, 6> ready{};

  bool operator==(const EnvironmentReport&) const = default;
};

// One run of the check: the report, and the installed workbench's status at
// the chosen install location when one is known.
struct EnvironmentCheck {
  EnvironmentReport report;
  std::optional<InstalledStatus> workbench_status;
};

}  // namespace velmo

#endif  // VELMO_ENVIRONMENT_ENVIRONMENT_REPORT_H_
