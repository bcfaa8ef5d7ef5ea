#include "environment/environment_report.h"

namespace velmo {

EnvironmentCheck check_environment(const std::optional<std::string>& /*install_dir*/) {
  return {};
}

std::optional<std::string> discover_install_location() {
  return std::nullopt;
}

}  // namespace velmo
