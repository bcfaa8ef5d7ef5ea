#ifndef VELMO_ENVIRONMENT_ENVIRONMENT_CHECK_H_
#define VELMO_ENVIRONMENT_ENVIRONMENT_CHECK_H_

#include <functional>
#include <optional>
#include <string>

#include "environment/component_detection.h"
#include "environment/environment_report.h"
#include "platform/os_version.h"

namespace velmo {

// What the check asks of the machine; tests replace parts of it.
struct EnvironmentProbes {
  std::function<std::optional<OsVersion>()> read_os_version = velmo::read_os_version;
  std::function<ComponentDetection()> detect_components = [] { return velmo::detect_components(); };
  std::function<InstalledStatus(const std::string& install_dir)> installed_status =
      velmo::installed_status;
};

// Classifies the system, detects components on supported systems, and
// rates the workbench at `install_dir` when one is known. Blocking (two
// short reg.exe runs and possibly hashing a cached download); never fails:
// what cannot be read is reported as absent.
EnvironmentCheck check_environment(const std::optional<std::string>& install_dir,
                                   const EnvironmentProbes& probes = {});

}  // namespace velmo

#endif  // VELMO_ENVIRONMENT_ENVIRONMENT_CHECK_H_
