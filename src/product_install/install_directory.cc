#include "product_install/install_directory.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "platform/file_system.h"
#include "platform/object_security.h"
#include "platform/path_attributes.h"
#include "platform/secure_directory.h"
#include "platform/windows_path.h"
#include "product_files/install_manifest.h"
#include "product_install/command_library.h"
#include "product_install/launcher_layout.h"

namespace velmo {

namespace {

// The name itself, or the name with a suffix of ours after a dot (backups,
// partial copies, recovery names).
bool is_installation_name(std::string_view name) {
  constexpr std::array<std::string_view, 4> kOwnNames = {
      kMainProgramFileName, kInstallManifestFileName, kRuntimeFolderName, kCommandLibraryDirName};
  return std::ranges::any_of(kOwnNames, [name](std::string_view own) {
    return name == own || (name.starts_with(own) && name.substr(own.size()).starts_with('.'));
  });
}

Status create_install_directory(const std::string& install_dir) {
  if (const std::optional<std::string> parent = parent_path(install_dir);
      parent && *parent != install_dir) {
    if (auto made = create_directories(*parent); !made) {
      return fail(phrase_with_error("创建安装目录失败", made.error()));
    }
  }
  if (auto made = create_protected_directory(install_dir); !made) {
    // Another process made it meanwhile: the checks on an existing
    // directory decide.
    if (read_path_attributes(install_dir)) {
      return ok();
    }
    return fail(phrase_with_error("创建安装目录失败", made.error()));
  }
  return ok();
}

}  // namespace

bool holds_only_installation_files(const std::string& install_dir) {
  return std::ranges::all_of(directory_names(install_dir), is_installation_name);
}

Status prepare_install_directory(const std::string& install_dir) {
  if (!read_path_attributes(install_dir)) {
    if (Status created = create_install_directory(install_dir); !created) {
      return created;
    }
  }
  const OsResult<PathAttributes> attributes = read_path_attributes(install_dir);
  if (!attributes) {
    return fail(phrase_with_error("检查安装目录失败", attributes.error()));
  }
  if (!is_plain_directory(*attributes)) {
    return fail("安装目录不是受支持的普通目录，已拒绝写入。");
  }
  if (is_secure_directory(install_dir) || !holds_only_installation_files(install_dir)) {
    return ok();
  }
  if (OsStatus protected_now = apply_protected_security(install_dir); !protected_now) {
    return fail(phrase_with_error("检查安装目录失败", protected_now.error()));
  }
  return ok();
}

}  // namespace velmo
