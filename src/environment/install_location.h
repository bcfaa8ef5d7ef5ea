#ifndef VELMO_ENVIRONMENT_INSTALL_LOCATION_H_
#define VELMO_ENVIRONMENT_INSTALL_LOCATION_H_

#include <cstdint>
#include <functional>
#include <string>

#include "platform/result.h"

namespace velmo {

inline constexpr char kInstallLocationFileName[] = "install-location.txt";
inline constexpr char kFixedDriveInstallDir[] = "D:\\VelmoQen工作台";
inline constexpr char kDefaultInstallDir[] = "C:\\Program Files\\VelmoQen工作台";

// The installed workbench against the stored release.
enum class InstalledStatus : uint8_t {
  // No recognised installation, or its version text is not a version.
  kNotInstalled = 0,
  // Older than the stored latest version, or installed before any release
  // is known.
  kOutdated = 1,
  // The stored latest version or newer.
  kCurrent = 2,
};

// Whether the drive with this root is a fixed disk; tests replace it.
using FixedDriveProbe = std::function<bool(const std::string& root)>;

// The probe of the real machine.
FixedDriveProbe is_fixed_drive_probe();

// The recorded install location when it holds a recognised installation,
// otherwise the default: "D:\VelmoQen工作台" when D: is a fixed disk, else
// "C:\Program Files\VelmoQen工作台". Never fails.
std::string discover_install_location(const FixedDriveProbe& is_fixed = is_fixed_drive_probe());

// Records the location of a successful install for later runs, replacing
// the previous record through a temporary file.
Status record_install_location(const std::string& install_dir);

// Whether the directory holds a recognised installation (a readable,
// consistent install manifest).
bool is_installed(const std::string& install_dir);

// The installed workbench in the directory against the stored release.
InstalledStatus installed_status(const std::string& install_dir);

}  // namespace velmo

#endif  // VELMO_ENVIRONMENT_INSTALL_LOCATION_H_
