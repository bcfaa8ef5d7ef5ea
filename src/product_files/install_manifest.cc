#include "product_files/install_manifest.h"

#include <array>
#include <chrono>
#include <span>

#include <nlohmann/json.hpp>

#include "network/version.h"
#include "platform/ascii.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/path_attributes.h"
#include "platform/strict_json.h"
#include "platform/windows_path.h"

namespace velmo {

namespace {

using Json = nlohmann::json;

constexpr char kLaunchTargetMessage[] = "工作台安装清单或主程序不完整，无法安全启动。";

// A manifest we wrote is well under a kilobyte; anything far larger is not
// ours and is not read into memory.
constexpr size_t kMaxManifestBytes = 65536;

constexpr std::array<std::string_view, 5> kKeys = {
    "commandLibraryPath", "executablePath", "installPath", "product", "version",
};

std::optional<std::string> string_value(const Json* value) {
  if (!value->is_string()) {
    return std::nullopt;
  }
  return value->get<std::string>();
}

// The checks in the order that costs least first: text rules, then the two
// that open the file system.
bool is_consistent(const InstallManifest& manifest, const std::string& install_dir) {
  if (manifest.product != kProductName) {
    return false;
  }
  if (!is_valid_version(manifest.version)) {
    return false;
  }
  if (manifest.command_library_path != kCommandLibraryPath) {
    return false;
  }
  if (!is_same_path(manifest.install_path, install_dir)) {
    return false;
  }
  return is_same_path(manifest.executable_path, path_join(install_dir, kMainProgramFileName));
}

// The same rules without opening the program: a program that was moved away
// (to its backup name) cannot be resolved, so the executable path is
// checked as the directory it names plus the program's file name.
bool names_directory_and_program(const InstallManifest& manifest, const std::string& install_dir) {
  if (manifest.product != kProductName || !is_valid_version(manifest.version) ||
      manifest.command_library_path != kCommandLibraryPath) {
    return false;
  }
  const std::optional<std::string> program_dir = parent_path(manifest.executable_path);
  if (!program_dir ||
      !equal_ignoring_ascii_case(file_name(manifest.executable_path), kMainProgramFileName)) {
    return false;
  }
  return is_same_path(manifest.install_path, install_dir) &&
         is_same_path(*program_dir, install_dir);
}

std::optional<InstallManifest> read_manifest_text(const std::string& manifest_path) {
  if (!is_plain_file(manifest_path)) {
    return std::nullopt;
  }
  const OsResult<std::string> text = read_small_file(manifest_path, kMaxManifestBytes);
  if (!text) {
    return std::nullopt;
  }
  return parse_install_manifest(*text);
}

}  // namespace

bool is_same_path(const std::string& a, const std::string& b) {
  const OsResult<std::string> canonical_a = final_path_name(a);
  if (!canonical_a) {
    return false;
  }
  const OsResult<std::string> canonical_b = final_path_name(b);
  if (!canonical_b) {
    return false;
  }
  return equal_ignoring_ascii_case(*canonical_a, *canonical_b);
}

std::optional<InstallManifest> parse_install_manifest(std::string_view text) {
  const std::optional<Json> document = parse_strict_json(text);
  if (!document) {
    return std::nullopt;
  }
  const auto values = record_values(*document, kKeys);
  if (!values) {
    return std::nullopt;
  }
  std::array<std::string, kKeys.size()> fields;
  for (size_t i = 0; i < kKeys.size(); ++i) {
    std::optional<std::string> text_value = string_value((*values)[i]);
    if (!text_value) {
      return std::nullopt;
    }
    fields[i] = std::move(*text_value);
  }
  return InstallManifest{.command_library_path = std::move(fields[0]),
                         .executable_path = std::move(fields[1]),
                         .install_path = std::move(fields[2]),
                         .product = std::move(fields[3]),
                         .version = std::move(fields[4])};
}

std::optional<InstallManifest> read_install_manifest(const std::string& install_dir) {
  const std::string manifest_path = path_join(install_dir, kInstallManifestFileName);
  if (!is_plain_file(manifest_path) ||
      !is_plain_file(path_join(install_dir, kMainProgramFileName))) {
    return std::nullopt;
  }
  const OsResult<std::string> text = read_small_file(manifest_path, kMaxManifestBytes);
  if (!text) {
    return std::nullopt;
  }
  std::optional<InstallManifest> manifest = parse_install_manifest(*text);
  if (!manifest || !is_consistent(*manifest, install_dir)) {
    return std::nullopt;
  }
  return manifest;
}

std::optional<InstallManifest> read_manifest_file_for(const std::string& manifest_path,
                                                      const std::string& install_dir) {
  std::optional<InstallManifest> manifest = read_manifest_text(manifest_path);
  if (!manifest || !names_directory_and_program(*manifest, install_dir)) {
    return std::nullopt;
  }
  return manifest;
}

Result<uint64_t> system_unix_time() {
  const auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
  if (since_epoch.count() < 0) {
    return fail("系统时间早于 1970-01-01，无法记录安装时间。");
  }
  return static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::seconds>(since_epoch).count());
}

Result<std::string> serialize_install_manifest(const std::string& install_dir,
                                               const std::string& main_program_path,
                                               const std::string& version,
                                               uint64_t installed_at_unix) {
  // nlohmann's default object keeps keys in byte order, which is the order
  // the file is specified in.
  const Json manifest = {
      {"commandLibraryPath", kCommandLibraryPath},
      {"components", {"mainProgram", "commandLibrary", "startupLauncher", "desktopShortcut"}},
      {"executablePath", main_program_path},
      {"installPath", install_dir},
      {"installedAtUnix", installed_at_unix},
      {"product", kProductName},
      {"version", version},
  };
  try {
    // Paths come from UTF-16 with damaged parts already replaced; anything
    // still invalid is replaced here too rather than failing the install.
    return manifest.dump(2, ' ', /*ensure_ascii=*/false, Json::error_handler_t::replace);
  } catch (const Json::exception& error) {
    return fail(std::string("生成安装清单失败：") + error.what());
  }
}

Status write_install_manifest(const std::string& manifest_path,
                              const std::string& install_dir,
                              const std::string& main_program_path,
                              const std::string& version,
                              const UnixClock& clock) {
  const Result<uint64_t> now = clock();
  if (!now) {
    return fail(now.error());
  }
  const Result<std::string> text =
      serialize_install_manifest(install_dir, main_program_path, version, *now);
  if (!text) {
    return fail(text.error());
  }
  OsResult<File> file = File::create_new(manifest_path);
  if (!file) {
    return fail(phrase_with_error("创建安装清单失败", file.error()));
  }
  const auto bytes = std::as_bytes(std::span(text->data(), text->size()));
  if (auto written = file->write_all(bytes); !written) {
    return fail(phrase_with_error("写入安装清单失败", written.error()));
  }
  if (auto flushed = file->flush(); !flushed) {
    return fail(phrase_with_error("写入安装清单失败", flushed.error()));
  }
  return ok();
}

Result<std::string> resolve_launch_target(const std::string& install_dir) {
  if (!read_install_manifest(install_dir)) {
    return fail(kLaunchTargetMessage);
  }
  return path_join(install_dir, kMainProgramFileName);
}

}  // namespace velmo
