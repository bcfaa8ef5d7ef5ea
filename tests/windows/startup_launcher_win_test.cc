#include "product_install/startup_launcher.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "../unit/temp_dir.h"
#include "platform/file_system.h"
#include "platform/win/handles.h"
#include "platform/win/wide.h"
#include "product_files/install_manifest.h"
#include "product_files/launcher_layout.h"
#include "product_install/desktop_folder.h"
#include "product_install/desktop_shortcut.h"
#include "product_install/hide_path.h"

namespace velmo {
namespace {

// What a saved shortcut says, read back through the shell's own object.
struct LoadedLink {
  std::string target;
  std::string arguments;
  std::string working_directory;
  std::string icon_path;
  int icon_index = -1;
};

std::string text_of(const wchar_t* buffer) {
  return from_wide(buffer);
}

std::optional<LoadedLink> load_link(const std::string& path) {
  const ScopedComApartment apartment(COINIT_APARTMENTTHREADED);
  ComPtr<IShellLinkW> link;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                link.put_void()))) {
    return std::nullopt;
  }
  ComPtr<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, file.put_void())) ||
      FAILED(file->Load(to_wide(path).c_str(), STGM_READ))) {
    return std::nullopt;
  }
  // The target is read from the item id list, which keeps every name in
  // UTF-16. Wine writes the link-info copy of the path (which GetPath
  // reports) in the ANSI code page only, so "工作台" comes back as "???"
  // there; Windows adds the UTF-16 copy to the link info as well.
  PIDLIST_ABSOLUTE raw_items = nullptr;
  if (FAILED(link->GetIDList(&raw_items))) {
    return std::nullopt;
  }
  const UniqueCoTaskMem items(raw_items);
  wchar_t buffer[MAX_PATH * 2] = {};
  if (!::SHGetPathFromIDListW(raw_items, buffer)) {
    return std::nullopt;
  }
  LoadedLink loaded;
  loaded.target = text_of(buffer);
  if (FAILED(link->GetArguments(buffer, MAX_PATH * 2))) {
    return std::nullopt;
  }
  loaded.arguments = text_of(buffer);
  if (FAILED(link->GetWorkingDirectory(buffer, MAX_PATH * 2))) {
    return std::nullopt;
  }
  loaded.working_directory = text_of(buffer);
  if (FAILED(link->GetIconLocation(buffer, MAX_PATH * 2, &loaded.icon_index))) {
    return std::nullopt;
  }
  loaded.icon_path = text_of(buffer);
  return loaded;
}

bool is_hidden(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(to_wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_HIDDEN) != 0;
}

// The shortcut goes to the prefix's real desktop; it is removed again
// whatever the test's outcome. A shortcut found there before is not ours to
// replace or remove, so the test refuses to run.
class ShortcutCleanup {
 public:
  explicit ShortcutCleanup(std::string path) : path_(std::move(path)) {
    EXPECT_FALSE(path_exists(path_)) << "a shortcut is already there: " << path_;
    armed_ = !path_exists(path_);
  }
  ~ShortcutCleanup() {
    if (armed_) {
      (void)remove_file(path_);
    }
  }
  ShortcutCleanup(const ShortcutCleanup&) = delete;
  ShortcutCleanup& operator=(const ShortcutCleanup&) = delete;

  bool armed() const { return armed_; }

 private:
  std::string path_;
  bool armed_ = false;
};

class StartupLauncherWinTest : public testing::Test {
 protected:
  StartupLauncherWinTest() {
    EXPECT_TRUE(create_directories(install_dir_));
    test::write_file(main_program_, "MZ workbench");
    EXPECT_TRUE(write_install_manifest(path_join(install_dir_, kInstallManifestFileName),
                                       install_dir_, main_program_, "1.4.0"));
    test::write_file(source_, "MZ launcher");
    test::write_file(layout_.older_launcher, "MZ launcher of the older layout");
  }

  // Installs with `platform` and checks everything the shell and the file
  // system say about the result; the shortcut must land in `desktop`.
  void install_and_check(const LauncherPlatform& platform, KnownFolder desktop) {
    const KnownFolderPath folder = known_folder_path(desktop);
    ASSERT_TRUE(folder.has_value()) << std::hex << folder.error();
    const std::string link_path = path_join(*folder, kDesktopShortcutFileName);
    const ShortcutCleanup cleanup(link_path);
    ASSERT_TRUE(cleanup.armed());

    const Result<std::string> launcher =
        install_startup_launcher(install_dir_, launcher_source_at(source_), platform);
    ASSERT_TRUE(launcher.has_value()) << launcher.error();
    EXPECT_EQ(*launcher, layout_.launcher);
    EXPECT_EQ(test::read_file(layout_.launcher), "MZ launcher");
    EXPECT_TRUE(is_hidden(layout_.runtime_folder));
    EXPECT_TRUE(is_hidden(layout_.older_launcher));
    EXPECT_FALSE(is_hidden(layout_.launcher));

    const std::string bytes = test::read_file(link_path);
    ASSERT_GT(bytes.size(), 21u);
    EXPECT_EQ(static_cast<uint8_t>(bytes[21]) & 0x20, 0x20);

    const std::optional<LoadedLink> loaded = load_link(link_path);
    ASSERT_TRUE(loaded.has_value());
    EXPECT_EQ(loaded->target, layout_.launcher);
    EXPECT_EQ(loaded->arguments, "--launch-main");
    EXPECT_EQ(loaded->working_directory, install_dir_);
    EXPECT_EQ(loaded->icon_path, main_program_);
    EXPECT_EQ(loaded->icon_index, 0);
  }

  test::TempDir root_{"velmo-launcher-win"};
  std::string install_dir_ = root_.join("VelmoQen工作台");
  std::string main_program_ = path_join(install_dir_, kMainProgramFileName);
  std::string source_ = root_.join("velmo-assistant.exe");
  LauncherLayout layout_ = launcher_layout(install_dir_);
};

TEST_F(StartupLauncherWinTest, InstallsOnTheUsersDesktop) {
  install_and_check(system_launcher_platform(), KnownFolder::kDesktop);
}

TEST_F(StartupLauncherWinTest, FallsBackToThePublicDesktop) {
  LauncherPlatform platform = system_launcher_platform();
  platform.known_folder_path = [](KnownFolder folder) -> KnownFolderPath {
    if (folder == KnownFolder::kDesktop) {
      return std::unexpected(static_cast<uint32_t>(E_FAIL));
    }
    return known_folder_path(folder);
  };
  install_and_check(platform, KnownFolder::kPublicDesktop);
}

TEST(KnownDesktopFolderWinTest, BothDesktopsAreExistingDirectories) {
  const std::pair<KnownFolder, const char*> folders[] = {
      {KnownFolder::kDesktop, kUserDesktopLabel},
      {KnownFolder::kPublicDesktop, kPublicDesktopLabel},
  };
  for (const auto& [folder, label] : folders) {
    const Result<std::string> path =
        known_desktop_folder(folder, label, system_launcher_platform());
    ASSERT_TRUE(path.has_value()) << path.error();
    EXPECT_TRUE(path->ends_with("\\Desktop")) << *path;
  }
}

TEST(HidePathWinTest, AttribHidesFilesAndFolders) {
  test::TempDir dir{"velmo-hide"};
  const std::string file = dir.join("隐藏 测试.exe");
  const std::string folder = dir.join("运行 组件");
  test::write_file(file, "MZ");
  ASSERT_TRUE(create_directories(folder));
  for (const std::string& path : {file, folder}) {
    ASSERT_FALSE(is_hidden(path)) << path;
    const Status hidden = hide_path(path);
    ASSERT_TRUE(hidden.has_value()) << hidden.error();
    EXPECT_TRUE(is_hidden(path)) << path;
  }
}

}  // namespace
}  // namespace velmo
