#ifndef VELMO_TESTS_UNIT_FAKE_LAUNCHER_PLATFORM_H_
#define VELMO_TESTS_UNIT_FAKE_LAUNCHER_PLATFORM_H_

#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "product_install/launcher_platform.h"
#include "temp_dir.h"

namespace velmo::test {

// The shell services of the launcher install, on the test's own folders:
// hiding is recorded, the desktop is a directory of the test, and a saved
// shortcut is a header-sized file of zeros (written past the platform
// layer, so the mutation seam sees only what the code under test does
// afterwards). Each service can be made to fail.
class FakeLauncherShell {
 public:
  static constexpr size_t kSavedLinkBytes = 76;

  explicit FakeLauncherShell(std::string desktop) { folders_[KnownFolder::kDesktop] = desktop; }

  LauncherPlatform platform() {
    LauncherPlatform platform;
    platform.hide_path = [this](const std::string& path) -> Status {
      hidden.push_back(path);
      if (path == failing_hide_path) {
        return fail("隐藏工作台运行组件失败，attrib 退出码：1");
      }
      return ok();
    };
    platform.known_folder_path = [this](KnownFolder folder) -> KnownFolderPath {
      const auto found = folders_.find(folder);
      if (found == folders_.end()) {
        return std::unexpected(0x80070002u);
      }
      return found->second;
    };
    platform.save_shell_link = [this](const ShellLinkFields& fields,
                                      const std::string& link_path) -> ShellLinkStatus {
      if (save_failure) {
        return std::unexpected(*save_failure);
      }
      std::ofstream(fs_path(link_path), std::ios::binary | std::ios::trunc)
          << std::string(kSavedLinkBytes, '\0');
      saved.emplace_back(fields, link_path);
      return {};
    };
    return platform;
  }

  void set_folder(KnownFolder folder, std::optional<std::string> path) {
    if (path) {
      folders_[folder] = *path;
    } else {
      folders_.erase(folder);
    }
  }

  std::vector<std::string> hidden;
  std::vector<std::pair<ShellLinkFields, std::string>> saved;
  std::string failing_hide_path;
  std::optional<ShellLinkFailure> save_failure;

 private:
  std::map<KnownFolder, std::string> folders_;
};

}  // namespace velmo::test

#endif  // VELMO_TESTS_UNIT_FAKE_LAUNCHER_PLATFORM_H_
