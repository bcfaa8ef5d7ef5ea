#ifndef VELMO_ENVIRONMENT_COMPONENT_DETECTION_H_
#define VELMO_ENVIRONMENT_COMPONENT_DETECTION_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "environment/install_location.h"
#include "environment/webview2_detection.h"

namespace velmo {

// Which components are in place and which downloads are already usable.
struct ComponentDetection {
  // Never needed on the systems the assistant supports; nothing is asked.
  bool sp1_present = true;
  bool kb4490628_present = true;
  bool kb4474419_present = true;
  bool webview2_present = false;
  bool workbench_current = false;
  // Looked at only when the matching component is missing.
  bool webview2_bootstrapper_ready = false;
  bool workbench_installer_ready = false;

  bool operator==(const ComponentDetection&) const = default;
};

// The cached workbench installer's file name for a version.
std::string workbench_installer_file_name(std::string_view version);

// Whether a cached download can be used as it is: a plain file of exactly
// `bytes`, and when `sha256` is given, with that digest. The size is checked
// first so a file of another size is never hashed.
bool is_cached_file_ready(const std::string& path,
                          uint64_t bytes,
                          std::optional<std::string_view> sha256);

// What detection needs from the machine; tests replace parts of it.
struct DetectionProbes {
  WebView2VersionQuery query_webview2_version = velmo::query_webview2_version;
  FixedDriveProbe is_fixed_drive = is_fixed_drive_probe();
};

// Looks, changes nothing: the WebView2 runtime, the workbench at the
// discovered location against the stored release, the cached bootstrapper
// (when the runtime is missing) and the cached installer (when the workbench
// is not current). Every failure only makes a flag false.
ComponentDetection detect_components(const DetectionProbes& probes = {});

}  // namespace velmo

#endif  // VELMO_ENVIRONMENT_COMPONENT_DETECTION_H_
