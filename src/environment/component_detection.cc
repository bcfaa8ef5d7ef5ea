#include "environment/component_detection.h"

#include "environment/data_directory.h"
#include "network/release_store.h"
#include "network/sha256_file.h"
#include "platform/file_system.h"
#include "platform/path_attributes.h"
#include "product_files/webview2_bootstrapper_pin.h"

namespace velmo {

namespace {

bool bootstrapper_ready() {
  const std::string path = path_join(download_directory_path(), kBootstrapperFileName);
  return is_cached_file_ready(path, kBootstrapperBytes, kBootstrapperSha256);
}

// The installer's digest is checked by the download step before use; here
// the size is enough to skip a download that is already complete.
bool installer_ready() {
  const Result<VerifiedRelease> release = load_release();
  if (!release) {
    return false;
  }
  const std::string path =
      path_join(download_directory_path(), workbench_installer_file_name(release->latest_version));
  return is_cached_file_ready(path, release->installer_bytes, std::nullopt);
}

}  // namespace

std::string workbench_installer_file_name(std::string_view version) {
  return "VelmoQenWorkbench-Update-v" + std::string(version) + ".package";
}

bool is_cached_file_ready(const std::string& path,
                          uint64_t bytes,
                          std::optional<std::string_view> sha256) {
  if (!is_plain_file(path)) {
    return false;
  }
  const OsResult<uint64_t> size = file_size(path);
  if (!size || *size != bytes) {
    return false;
  }
  if (!sha256) {
    return true;
  }
  const Result<std::string> digest = sha256_file(path);
  return digest && digests_equal(*digest, *sha256);
}

ComponentDetection detect_components(const DetectionProbes& probes) {
  ComponentDetection detection;
  detection.webview2_present = is_webview2_present(probes.query_webview2_version);
  const std::string location = discover_install_location(probes.is_fixed_drive);
  detection.workbench_current = installed_status(location) == InstalledStatus::kCurrent;
  if (!detection.webview2_present) {
    detection.webview2_bootstrapper_ready = bootstrapper_ready();
  }
  if (!detection.workbench_current) {
    detection.workbench_installer_ready = installer_ready();
  }
  return detection;
}

}  // namespace velmo
