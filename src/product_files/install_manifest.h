#ifndef VELMO_PRODUCT_FILES_INSTALL_MANIFEST_H_
#define VELMO_PRODUCT_FILES_INSTALL_MANIFEST_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/result.h"

namespace velmo {

inline constexpr char kInstallManifestFileName[] = "install-manifest.json";
inline constexpr char kMainProgramFileName[] = "VelmoQen工作台.exe";
inline constexpr char kProductName[] = "VelmoQen工作台";
inline constexpr char kCommandLibraryPath[] = "embedded://frontend-bundle";

// The mark by which a directory is known as an installation of ours.
struct InstallManifest {
  std::string command_library_path;
  std::string executable_path;
  std::string install_path;
  std::string product;
  std::string version;

  bool operator==(const InstallManifest&) const = default;
};

// Reads the manifest text: one object with the five string keys
// commandLibraryPath, executablePath, installPath, product and version
// (others ignored), or an array of these five values in this order. Checks
// the form only; nothing on any failure.
std::optional<InstallManifest> parse_install_manifest(std::string_view text);

// The manifest of the installation in `install_dir`, or nothing when the
// directory is not a recognised installation: the manifest and the main
// program must be plain files, the manifest must parse, name our product,
// a valid version and the embedded command library, and its two paths must
// denote this directory and its main program. Never fails loudly: a damaged
// manifest only means "not ours".
std::optional<InstallManifest> read_install_manifest(const std::string& install_dir);

// A manifest file under any name (a backup, say) that would make
// `install_dir` a recognised installation once it is back under its own
// name: a plain file with the same content rules, except that the program
// it names need not exist now. Its executablePath must be the directory it
// names joined with "VelmoQen工作台.exe" (ASCII letter case aside), and that
// directory must be `install_dir`.
std::optional<InstallManifest> read_manifest_file_for(const std::string& manifest_path,
                                                      const std::string& install_dir);

// Seconds since 1970-01-01 UTC, or the message of a clock set before then.
using UnixClock = std::function<Result<uint64_t>()>;
Result<uint64_t> system_unix_time();

// The manifest file's exact text for an install (two-space indentation,
// keys in byte order, no trailing line break).
Result<std::string> serialize_install_manifest(const std::string& install_dir,
                                               const std::string& main_program_path,
                                               const std::string& version,
                                               uint64_t installed_at_unix);

// Writes a new manifest at `manifest_path` and flushes it to disk. Never
// replaces a file: an existing manifest makes it fail.
Status write_install_manifest(const std::string& manifest_path,
                              const std::string& install_dir,
                              const std::string& main_program_path,
                              const std::string& version,
                              const UnixClock& clock = system_unix_time);

// The main program of a recognised installation, or
// "工作台安装清单或主程序不完整，无法安全启动。".
Result<std::string> resolve_launch_target(const std::string& install_dir);

// Whether two paths denote the same file or directory: both resolve to
// their final canonical names, equal ignoring ASCII letter case. A path that
// cannot be resolved is the same as nothing.
bool is_same_path(const std::string& a, const std::string& b);

}  // namespace velmo

#endif  // VELMO_PRODUCT_FILES_INSTALL_MANIFEST_H_
