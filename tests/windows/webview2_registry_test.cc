// WebView2 detection against the real reg.exe of the prefix: the client
// keys are written with reg.exe as an installer would, and the runtime
// folders live under temporary folders that "ProgramFiles(x86)" and
// "LOCALAPPDATA" point at.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "../unit/test_env.h"
#include "environment/environment_check.h"
#include "environment/webview2_detection.h"
#include "platform/captured_process.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/os_version.h"
#include "platform/win/wide.h"

namespace velmo {
namespace {

bool reg(const std::vector<std::string>& arguments) {
  const OsResult<CapturedRun> run = run_captured(system_program_path("reg.exe"), arguments);
  return run && run->exit_code == 0;
}

class WebView2RegistryTest : public testing::Test {
 protected:
  WebView2RegistryTest()
      : root_(from_wide(std::filesystem::temp_directory_path().wstring()) + "velmo-wv2-" +
              std::to_string(std::random_device{}())),
        machine_("ProgramFiles(x86)", path_join(root_, "Program Files (x86)")),
        user_("LOCALAPPDATA", path_join(root_, "Local")) {}

  ~WebView2RegistryTest() override {
    reg({"delete", machine_key(), "/f"});
    reg({"delete", user_key(), "/f"});
    std::error_code ignored;
    std::filesystem::remove_all(to_wide(root_), ignored);
  }

  static std::string machine_key() { return std::string("HKLM\\") + kWebView2MachineKey; }
  static std::string user_key() { return std::string("HKCU\\") + kWebView2UserKey; }

  static void register_version(const std::string& key, const std::string& version) {
    ASSERT_TRUE(reg({"add", key, "/v", "pv", "/t", "REG_SZ", "/d", version, "/f"})) << key;
  }

  void install_files(const std::string& variable_root, const std::string& version, bool with_dll) {
    std::string folder = variable_root;
    for (const char* part : {"Microsoft", "EdgeWebView", "Application"}) {
      folder = path_join(folder, part);
    }
    folder = path_join(folder, version);
    ASSERT_TRUE(create_directories(folder));
    ASSERT_TRUE(File::create_truncate(path_join(folder, "msedgewebview2.exe")));
    if (with_dll) {
      ASSERT_TRUE(File::create_truncate(path_join(folder, "msedge.dll")));
    }
  }

  std::string machine_root() const { return path_join(root_, "Program Files (x86)"); }
  std::string user_root() const { return path_join(root_, "Local"); }

  std::string root_;
  test::ScopedEnv machine_;
  test::ScopedEnv user_;
};

TEST_F(WebView2RegistryTest, RegExeReportsTheRegisteredVersion) {
  EXPECT_FALSE(query_webview2_version("HKLM", kWebView2MachineKey).has_value()) << "no key yet";
  register_version(machine_key(), "120.0.2210.91");
  EXPECT_EQ(query_webview2_version("HKLM", kWebView2MachineKey), "120.0.2210.91");
  register_version(user_key(), "0.0.0.0");
  EXPECT_FALSE(query_webview2_version("HKCU", kWebView2UserKey).has_value());
}

TEST_F(WebView2RegistryTest, MachineRuntimeIsPresentWithItsFiles) {
  register_version(machine_key(), "120.0.2210.91");
  EXPECT_FALSE(is_webview2_present()) << "registered, no files";
  install_files(machine_root(), "120.0.2210.91", true);
  EXPECT_TRUE(is_webview2_present());
}

TEST_F(WebView2RegistryTest, PerUserRuntimeAloneIsPresent) {
  register_version(user_key(), "121.0.2277.83");
  install_files(user_root(), "121.0.2277.83", true);
  EXPECT_TRUE(is_webview2_present());
}

TEST_F(WebView2RegistryTest, UninstalledMarkerCountsAsAbsentEvenWithFiles) {
  register_version(machine_key(), "0.0.0.0");
  install_files(machine_root(), "0.0.0.0", true);
  EXPECT_FALSE(is_webview2_present());
}

TEST_F(WebView2RegistryTest, FolderWithoutDllFallsBackToTheOtherScope) {
  register_version(machine_key(), "120.0.2210.91");
  install_files(machine_root(), "120.0.2210.91", false);
  EXPECT_FALSE(is_webview2_present());
  register_version(user_key(), "119.0.2151.97");
  install_files(user_root(), "119.0.2151.97", true);
  EXPECT_TRUE(is_webview2_present());
}

// The bench's prefix reports Windows 10; the whole check runs on the real
// system calls.
TEST_F(WebView2RegistryTest, EnvironmentCheckOfThePrefix) {
  const std::optional<OsVersion> version = read_os_version();
  ASSERT_TRUE(version.has_value());
  EXPECT_EQ(version->major, 10u);
  EXPECT_EQ(version->product_type, kProductWorkstation);

  register_version(machine_key(), "120.0.2210.91");
  install_files(machine_root(), "120.0.2210.91", true);
  const EnvironmentCheck check = check_environment(std::nullopt);
  EXPECT_EQ(check.report.os_label, "Windows 10 x64 · Build " + std::to_string(version->build));
  EXPECT_TRUE(check.report.supported);
  EXPECT_TRUE(check.report.present[3]);
}

}  // namespace
}  // namespace velmo
