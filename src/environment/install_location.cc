#include "environment/install_location.h"

#include <array>
#include <span>

#include "environment/data_directory.h"
#include "environment/installation_protection.h"
#include "network/release_store.h"
#include "network/version.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/replace_file.h"
#include "platform/secure_directory.h"
#include "platform/utf.h"
#include "product_files/install_manifest.h"

namespace velmo {

namespace {

// A path is far shorter; a larger record is not one we wrote.
constexpr size_t kMaxRecordBytes = 65536;

std::string record_path() {
  return path_join(data_directory(), kInstallLocationFileName);
}

// The whole record, or nothing when it cannot be read or is larger than any
// record we write.
std::optional<std::string> read_record(File& file) {
  std::string text;
  std::array<std::byte, 4096> buffer;
  for (;;) {
    const OsResult<size_t> count = file.read(buffer);
    if (!count) {
      return std::nullopt;
    }
    if (*count == 0) {
      return text;
    }
    text.append(reinterpret_cast<const char*>(buffer.data()), *count);
    if (text.size() > kMaxRecordBytes) {
      return std::nullopt;
    }
  }
}

// Only a record in the protected data directory, written by an
// administrator, may choose where the elevated assistant installs.
// Judged and read through one handle.
std::optional<std::string> read_recorded_location() {
  if (!is_data_directory_secure()) {
    return std::nullopt;
  }
  OsResult<File> file = open_trusted_file(record_path());
  if (!file) {
    return std::nullopt;
  }
  const std::optional<std::string> text = read_record(*file);
  if (!text || !is_valid_utf8(*text)) {
    return std::nullopt;
  }
  const std::string_view trimmed = trim_white_space(*text);
  if (trimmed.empty()) {
    return std::nullopt;
  }
  return std::string(trimmed);
}

// The record is written through a new file: a leftover temporary file, or
// a link someone put under its name, is removed first (deleting a link
// removes the link, not its target), so the record never writes through a
// name it did not create.
Status write_new_file(const std::string& path, std::string_view text) {
  if (path_exists(path)) {
    if (auto removed = remove_file(path); !removed) {
      return fail(phrase_with_error("写入安装位置记录失败", removed.error()));
    }
  }
  OsResult<File> file = File::create_new(path);
  if (!file) {
    return fail(phrase_with_error("写入安装位置记录失败", file.error()));
  }
  if (auto written = file->write_all(std::as_bytes(std::span(text.data(), text.size())));
      !written) {
    return fail(phrase_with_error("写入安装位置记录失败", written.error()));
  }
  if (auto flushed = file->flush(); !flushed) {
    return fail(phrase_with_error("写入安装位置记录失败", flushed.error()));
  }
  return ok();
}

}  // namespace

FixedDriveProbe is_fixed_drive_probe() {
  return [](const std::string& root) { return is_fixed_drive(root); };
}

std::string discover_install_location(const FixedDriveProbe& is_fixed) {
  if (const std::optional<std::string> recorded = read_recorded_location()) {
    if (is_installed(*recorded)) {
      return *recorded;
    }
  }
  return is_fixed("D:\\") ? kFixedDriveInstallDir : kDefaultInstallDir;
}

Status record_install_location(const std::string& install_dir) {
  const std::string directory = data_directory();
  if (auto made = secure_data_directory(); !made) {
    return fail(phrase_with_error("创建安装位置记录目录失败", made.error()));
  }
  const std::string final_path = record_path();
  const std::string part_path = final_path + ".part";
  if (Status written = write_new_file(part_path, install_dir); !written) {
    return written;
  }
  return replace_file(part_path, final_path);
}

bool is_installed(const std::string& install_dir) {
  return read_install_manifest(install_dir).has_value();
}

InstalledStatus installed_status(const std::string& install_dir) {
  const Result<VerifiedRelease> release = load_release();
  if (!release) {
    return is_installed(install_dir) ? InstalledStatus::kOutdated : InstalledStatus::kNotInstalled;
  }
  const std::optional<InstallManifest> manifest = read_install_manifest(install_dir);
  if (!manifest) {
    return InstalledStatus::kNotInstalled;
  }
  const Result<std::strong_ordering> order =
      compare_versions(manifest->version, release->latest_version);
  if (!order) {
    return InstalledStatus::kNotInstalled;
  }
  if (*order < 0) {
    return InstalledStatus::kOutdated;
  }
  // A current version in a folder another account could have changed may
  // hold anything under the program's name: it is installed again from a
  // verified package, as an outdated one would be, before anything of it
  // runs as administrator.
  return is_protected_installation(install_dir) ? InstalledStatus::kCurrent
                                                : InstalledStatus::kOutdated;
}

}  // namespace velmo
