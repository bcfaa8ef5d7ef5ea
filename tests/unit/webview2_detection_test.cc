#include "environment/webview2_detection.h"

#include <gtest/gtest.h>

#include <map>

#include "temp_dir.h"
#include "test_env.h"

namespace velmo {
namespace {

struct RegOutputCase {
  const char* name;
  std::string output;
  std::optional<std::string> expected;
};

const RegOutputCase kRegOutputs[] = {
    {"ValueLine",
     "\r\nHKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\EdgeUpdate\\Clients\\{F3017226-"
     "FE2A-"
     "4295-8BDF-00C3A9A7E4C5}\r\n    pv    REG_SZ    120.0.2210.91\r\n\r\n",
     "120.0.2210.91"},
    {"UninstalledMarker", "    pv    REG_SZ    0.0.0.0\r\n", std::nullopt},
    {"MarkerEndsTheSearch", "pv REG_SZ 0.0.0.0 121.0.1.2", std::nullopt},
    {"TabsAndFormFeeds", "pv\tREG_SZ\f1.2", "1.2"},
    {"NoDotIsNoVersion", "pv REG_SZ 120", std::nullopt},
    {"LettersAreNoVersion", "pv REG_SZ 120.0.beta", std::nullopt},
    {"KeyNameWithDotsIsSkipped", "HKCU\\a.b pv REG_SZ 3.4.5", "3.4.5"},
    {"LoneDotsCount", "pv REG_SZ .. 1.0", ".."},
    {"InvalidUtf8TokenSkipped", "pv \xFF\xFE REG_SZ 9.8", "9.8"},
    {"VersionGluedToInvalidByteSkipped", "pv 1.2\xFF 7.7", "7.7"},
    {"Empty", "", std::nullopt},
    {"OnlyWhiteSpace", " \t\r\n\f", std::nullopt},
    {"NoBreakSpaceIsNotASeparator",
     "pv REG_SZ\xC2\xA0"
     "1.2 3.4",
     "3.4"},
};

class RegOutputTest : public testing::TestWithParam<RegOutputCase> {};

TEST_P(RegOutputTest, FindsTheFirstVersionToken) {
  EXPECT_EQ(parse_reg_query_version(GetParam().output), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Table,
                         RegOutputTest,
                         testing::ValuesIn(kRegOutputs),
                         [](const auto& info) { return std::string(info.param.name); });

// Two scopes of runtime folders, and registered versions answered by a fake
// reg.exe.
class WebView2PresenceTest : public testing::Test {
 protected:
  WebView2PresenceTest()
      : machine_env_("ProgramFiles(x86)", machine_root_.path()),
        user_env_("LOCALAPPDATA", user_root_.path()) {}

  static void install_files(const std::string& root, const std::string& version, bool with_dll) {
    std::string folder = root;
    for (const char* part : {"Microsoft", "EdgeWebView", "Application"}) {
      folder = path_join(folder, part);
    }
    folder = path_join(folder, version);
    ASSERT_TRUE(create_directories(folder));
    test::write_file(path_join(folder, "msedgewebview2.exe"), "MZ");
    if (with_dll) {
      test::write_file(path_join(folder, "msedge.dll"), "MZ");
    }
  }

  bool present() {
    return is_webview2_present([this](const std::string& root, const std::string& key) {
      queried_.push_back(root);
      const bool known_key = (root == "HKLM" && key == kWebView2MachineKey) ||
                             (root == "HKCU" && key == kWebView2UserKey);
      EXPECT_TRUE(known_key) << root << "\\" << key;
      const auto found = versions_.find(root);
      return found == versions_.end() ? std::nullopt : std::optional(found->second);
    });
  }

  test::TempDir machine_root_{"velmo-pf86"};
  test::TempDir user_root_{"velmo-lad"};
  test::ScopedEnv machine_env_;
  test::ScopedEnv user_env_;
  std::map<std::string, std::string> versions_;
  std::vector<std::string> queried_;
};

TEST_F(WebView2PresenceTest, MachineRuntimeWithBothFilesIsPresent) {
  versions_["HKLM"] = "120.0.2210.91";
  install_files(machine_root_.path(), "120.0.2210.91", true);
  EXPECT_TRUE(present());
}

TEST_F(WebView2PresenceTest, PerUserRuntimeAloneIsPresent) {
  versions_["HKCU"] = "121.0.1.0";
  install_files(user_root_.path(), "121.0.1.0", true);
  EXPECT_TRUE(present());
}

TEST_F(WebView2PresenceTest, BothScopesAreQueriedBeforeAnyFileIsExamined) {
  EXPECT_FALSE(present());
  EXPECT_EQ(queried_, (std::vector<std::string>{"HKLM", "HKCU"}));
}

TEST_F(WebView2PresenceTest, FolderWithoutDllFailsThatScopeAndTheOtherIsTried) {
  versions_["HKLM"] = "120.0.2210.91";
  install_files(machine_root_.path(), "120.0.2210.91", false);
  EXPECT_FALSE(present());
  versions_["HKCU"] = "119.0.0.1";
  install_files(user_root_.path(), "119.0.0.1", true);
  EXPECT_TRUE(present());
}

TEST_F(WebView2PresenceTest, FilesOfAnotherVersionDoNotCount) {
  versions_["HKLM"] = "120.0.2210.91";
  install_files(machine_root_.path(), "119.0.0.1", true);
  EXPECT_FALSE(present());
}

TEST_F(WebView2PresenceTest, RegisteredVersionWithoutFilesIsAbsent) {
  versions_["HKLM"] = "120.0.2210.91";
  versions_["HKCU"] = "120.0.2210.91";
  EXPECT_FALSE(present());
}

TEST_F(WebView2PresenceTest, ADirectoryUnderTheDllNameIsNotTheFile) {
  versions_["HKLM"] = "1.2.3.4";
  install_files(machine_root_.path(), "1.2.3.4", false);
  const std::string folder =
      path_join(path_join(path_join(path_join(machine_root_.path(), "Microsoft"), "EdgeWebView"),
                          "Application"),
                "1.2.3.4");
  ASSERT_TRUE(create_directories(path_join(folder, "msedge.dll")));
  EXPECT_FALSE(present());
}

TEST_F(WebView2PresenceTest, UnsetFolderVariableSkipsThatScopeWithoutAQuery) {
  versions_["HKLM"] = "120.0.2210.91";
  install_files(machine_root_.path(), "120.0.2210.91", true);
  test::ScopedEnv no_machine("ProgramFiles(x86)", std::nullopt);
  EXPECT_FALSE(present());
  EXPECT_EQ(queried_, (std::vector<std::string>{"HKCU"}));
}

}  // namespace
}  // namespace velmo
