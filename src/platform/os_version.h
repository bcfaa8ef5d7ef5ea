#ifndef VELMO_PLATFORM_OS_VERSION_H_
#define VELMO_PLATFORM_OS_VERSION_H_

#include <cstdint>
#include <optional>

namespace velmo {

// Product types as the system reports them.
inline constexpr uint8_t kProductWorkstation = 1;
inline constexpr uint8_t kProductDomainController = 2;
inline constexpr uint8_t kProductServer = 3;

// The Windows version as the kernel reports it.
struct OsVersion {
  uint32_t major = 0;
  uint32_t minor = 0;
  uint32_t build = 0;
  uint8_t product_type = 0;
};

// Reads the version from the kernel (RtlGetVersion), which, unlike
// GetVersionEx, is not shimmed to an older version for programs without a
// compatibility manifest. Nothing when the call is missing or fails, and
// always nothing off Windows.
std::optional<OsVersion> read_os_version();

}  // namespace velmo

#endif  // VELMO_PLATFORM_OS_VERSION_H_
