#include "product_install/install_directory.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "platform/object_security.h"
#include "platform/path_attributes.h"
#include "platform/protected_tree.h"
#include "platform/secure_directory.h"
#include "platform/windows_path.h"
#include "product_files/install_manifest.h"
#include "product_files/launcher_layout.h"
#include "product_install/command_library.h"

namespace velmo {

namespace {

constexpr char kCheckFailed[] = "检查安装目录失败";

// The name itself, or the name with a suffix of ours after a dot (backups,
// partial copies, recovery names).
bool is_installation_name(std::string_view name) {
  constexpr std::array<std::string_view, 5> kOwnNames = {
      kMainProgramFileName, kInstallManifestFileName, kRuntimeFolderName, kCommandLibraryDirName,
      kLauncherFileName};
  return std::ranges::any_of(kOwnNames, [name](std::string_view own) {
    return name == own || (name.starts_with(own) && name.substr(own.size()).starts_with('.'));
  });
}

// The directories above `path` that do not exist yet, outermost first.
std::vector<std::string> missing_ancestors(const std::string& path) {
  std::vector<std::string> missing;
  std::optional<std::string> parent = parent_path(path);
  while (parent && *parent != path && !read_path_attributes(*parent)) {
    missing.push_back(*parent);
    const std::optional<std::string> next = parent_path(*parent);
    if (next == parent) {
      break;
    }
    parent = next;
  }
  std::ranges::reverse(missing);
  return missing;
}

// Every folder on the way is made protected, not with what its parent
// hands down: a folder a standard user could rename would let them rebuild
// the path behind the elevated shortcut.
Status create_install_directory(const std::string& install_dir) {
  std::vector<std::string> chain = missing_ancestors(install_dir);
  chain.push_back(install_dir);
  for (const std::string& directory : chain) {
    if (auto made = create_protected_directory(directory); !made) {
      // Another process made it meanwhile: the checks on an existing
      // directory decide.
      if (read_path_attributes(directory)) {
        continue;
      }
      return fail(phrase_with_error("创建安装目录失败", made.error()));
    }
  }
  return ok();
}

// The directory first, so that nothing can be added or swapped inside it
// while the entries are repaired; then every entry an installation has.
// Other entries of an already protected directory were put there by an
// administrator and are left alone.
OsStatus protect_installation(const std::string& install_dir) {
  if (!is_secure_directory(install_dir)) {
    if (OsStatus repaired = apply_protected_security(install_dir); !repaired) {
      return repaired;
    }
  }
  for (const std::string& name : directory_names(install_dir)) {
    if (!is_installation_name(name)) {
      continue;
    }
    if (OsStatus protected_now = protect_entry(path_join(install_dir, name)); !protected_now) {
      return protected_now;
    }
  }
  return {};
}

}  // namespace

bool holds_only_installation_files(const std::string& install_dir) {
  return std::ranges::all_of(directory_names(install_dir), is_installation_name);
}

Status prepare_install_directory(const std::string& install_dir) {
  // A drive root is never made ours: the install refuses it with its own
  // words right after.
  if (!parent_path(install_dir)) {
    return ok();
  }
  if (!read_path_attributes(install_dir)) {
    if (Status created = create_install_directory(install_dir); !created) {
      return created;
    }
  }
  const OsResult<PathAttributes> attributes = read_path_attributes(install_dir);
  if (!attributes) {
    return fail(phrase_with_error(kCheckFailed, attributes.error()));
  }
  if (!is_plain_directory(*attributes)) {
    return fail("安装目录不是受支持的普通目录，已拒绝写入。");
  }
  // Locking a folder the user also keeps other things in would take their
  // rights away from those things; leaving it open would let another
  // account change what runs as administrator. Neither is ours to do.
  if (!is_secure_directory(install_dir) && !holds_only_installation_files(install_dir)) {
    return fail(kUnprotectableInstallDirMessage);
  }
  if (OsStatus protected_now = protect_installation(install_dir); !protected_now) {
    return fail(phrase_with_error(kCheckFailed, protected_now.error()));
  }
  if (others_can_replace_location(install_dir)) {
    return fail(kUnprotectableInstallDirMessage);
  }
  return ok();
}

}  // namespace velmo
