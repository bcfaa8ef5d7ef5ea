#ifndef VELMO_PRODUCT_INSTALL_INSTALL_SOURCE_H_
#define VELMO_PRODUCT_INSTALL_INSTALL_SOURCE_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "network/release_store.h"
#include "platform/result.h"

namespace velmo {

inline constexpr char kInstallSourceLabel[] = "embedded://verified-installer-bundle";

// The verified main program, ready to be installed.
struct InstallSource {
  std::string path;    // the cache file
  std::string sha256;  // expected digest, upper case
  uint64_t bytes = 0;  // expected size
  std::string source;  // where it came from

  bool operator==(const InstallSource&) const = default;
};

// "VelmoQenWorkbench-Core-v{version}.exe" in the "embedded-core" folder of
// the download directory.
std::string main_program_cache_path(const std::string& download_directory,
                                    std::string_view version);

// The first half of installing from a downloaded workbench installer, which
// changes nothing in the install directory: proves the installer against
// the release (plain file, size, SHA-256), finds and proves the bundle in
// it, copies the main program into the verified cache and checks that copy
// once more. The first failure ends it with its message.
Result<InstallSource> prepare_install_source(const std::string& installer_path,
                                             const VerifiedRelease& release);

// The same with the stored release ("尚未取得正式版本策略，请重新检测。"
// when no policy was fetched).
Result<InstallSource> prepare_install_source(const std::string& installer_path);

}  // namespace velmo

#endif  // VELMO_PRODUCT_INSTALL_INSTALL_SOURCE_H_
