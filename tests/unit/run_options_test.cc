#include "main/run_options.h"

#include <gtest/gtest.h>

namespace velmo {
namespace {

using Args = std::vector<std::string>;

struct FlagsCase {
  const char* name;
  Args args;
  bool launch_mode;
  bool open_after_finish;
  bool auto_continue;
};

class RunFlagsTest : public testing::TestWithParam<FlagsCase> {};

TEST_P(RunFlagsTest, DerivesModeFlags) {
  const RunFlags flags = parse_run_flags(GetParam().args);
  EXPECT_EQ(flags.launch_mode(), GetParam().launch_mode);
  EXPECT_EQ(flags.open_after_finish(), GetParam().open_after_finish);
  EXPECT_EQ(flags.auto_continue(), GetParam().auto_continue);
}

INSTANTIATE_TEST_SUITE_P(
    Table,
    RunFlagsTest,
    testing::Values(
        FlagsCase{"Empty", {}, false, false, false},
        FlagsCase{"ProgramOnly", {"a.exe"}, false, false, false},
        FlagsCase{"Installer", {"a.exe", "--installer"}, false, true, true},
        FlagsCase{"InstallerAndResume", {"a.exe", "--resume", "--installer"}, false, true, true},
        FlagsCase{"ResumeAlone", {"a.exe", "--resume"}, false, false, true},
        FlagsCase{"LaunchMain", {"a.exe", "--launch-main"}, true, false, false},
        FlagsCase{"Preview", {"a.exe", "--preview-startup"}, true, false, false},
        FlagsCase{"CaseMatters", {"a.exe", "--INSTALLER", "--Resume"}, false, false, false},
        FlagsCase{"WholeArgumentOnly",
                  {"a.exe", "--installer=1", "x--resume"},
                  false,
                  false,
                  false},
        FlagsCase{"ProgramPathIsTestedToo", {"--launch-main"}, true, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RunFlagsTest, PreviewAndLaunchTogetherKeepBothFlags) {
  const RunFlags flags = parse_run_flags({"a.exe", "--preview-startup", "--launch-main"});
  EXPECT_TRUE(flags.preview_startup);
  EXPECT_TRUE(flags.launch_main);
}

struct ProcessIdCase {
  std::string text;
  std::optional<uint32_t> id;
};

class ParseProcessIdTest : public testing::TestWithParam<ProcessIdCase> {};

TEST_P(ParseProcessIdTest, Parses) {
  EXPECT_EQ(parse_process_id(GetParam().text), GetParam().id) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Table,
                         ParseProcessIdTest,
                         testing::Values(ProcessIdCase{"123", 123u},
                                         ProcessIdCase{"+123", 123u},
                                         ProcessIdCase{"0", 0u},
                                         ProcessIdCase{"4294967295", 4294967295u},
                                         ProcessIdCase{"4294967296", std::nullopt},
                                         ProcessIdCase{"99999999999999999999", std::nullopt},
                                         ProcessIdCase{"12a", std::nullopt},
                                         ProcessIdCase{"-5", std::nullopt},
                                         ProcessIdCase{"", std::nullopt},
                                         ProcessIdCase{"+", std::nullopt},
                                         ProcessIdCase{"++1", std::nullopt},
                                         ProcessIdCase{" 1", std::nullopt},
                                         ProcessIdCase{"1 ", std::nullopt}));

struct WaitCase {
  const char* name;
  Args args;
  std::optional<uint32_t> target;
};

class WaitTargetTest : public testing::TestWithParam<WaitCase> {};

constexpr uint32_t kOwnId = 4242;

TEST_P(WaitTargetTest, FindsTarget) {
  EXPECT_EQ(wait_for_process_target(GetParam().args, kOwnId), GetParam().target);
}

INSTANTIATE_TEST_SUITE_P(
    Table,
    WaitTargetTest,
    testing::Values(
        WaitCase{"Plain", {"a.exe", "--wait-for-process", "123"}, 123u},
        WaitCase{"LeadingPlus", {"a.exe", "--wait-for-process", "+123"}, 123u},
        WaitCase{"OwnId", {"a.exe", "--wait-for-process", "4242"}, std::nullopt},
        WaitCase{"NotANumber", {"a.exe", "--wait-for-process", "12a"}, std::nullopt},
        WaitCase{"Negative", {"a.exe", "--wait-for-process", "-5"}, std::nullopt},
        WaitCase{"Empty", {"a.exe", "--wait-for-process", ""}, std::nullopt},
        WaitCase{"LastArgumentHasNoOperand", {"a.exe", "--wait-for-process"}, std::nullopt},
        WaitCase{"FirstWithOperandCounts",
                 {"a.exe", "--wait-for-process", "7", "--wait-for-process", "8"},
                 7u},
        WaitCase{"BadFirstOperandMeansNoWait",
                 {"a.exe", "--wait-for-process", "x", "--wait-for-process", "8"},
                 std::nullopt},
        WaitCase{"AmongOtherSwitches",
                 {"a.exe", "--launch-main", "--wait-for-process", "99", "--installer"},
                 99u},
        WaitCase{"SwitchAsProgramPathNeedsMoreArguments", {"--wait-for-process"}, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

struct InstallDirCase {
  const char* name;
  Args args;
  std::optional<std::string> program_path;
  std::optional<std::string> discovered;
  std::optional<std::string> expected;
};

class ChooseInstallDirTest : public testing::TestWithParam<InstallDirCase> {};

TEST_P(ChooseInstallDirTest, Chooses) {
  const InstallDirCase& c = GetParam();
  int discoveries = 0;
  const auto discover = [&]() {
    ++discoveries;
    return c.discovered;
  };
  EXPECT_EQ(choose_install_dir(c.args, parse_run_flags(c.args), c.program_path, discover),
            c.expected);
  EXPECT_LE(discoveries, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Table,
    ChooseInstallDirTest,
    testing::Values(
        InstallDirCase{"LaunchFromLauncherFolder",
                       {"x", "--launch-main"},
                       "D:\\IDE\\运行组件\\VelmoQen工作台启动器.exe",
                       "E:\\Other",
                       "D:\\IDE"},
        InstallDirCase{"LaunchFromInstallDir",
                       {"x", "--launch-main"},
                       "D:\\IDE\\velmo.exe",
                       "E:\\Other",
                       "D:\\IDE"},
        InstallDirCase{"LaunchIgnoresInstallDirSwitch",
                       {"x", "--launch-main", "--install-dir", "F:\\X"},
                       "D:\\IDE\\velmo.exe",
                       "E:\\Other",
                       "D:\\IDE"},
        InstallDirCase{"LaunchWithoutProgramPathDiscovers",
                       {"x", "--launch-main"},
                       std::nullopt,
                       "E:\\Other",
                       "E:\\Other"},
        InstallDirCase{"LaunchFolderNameMustMatchExactly",
                       {"x", "--launch-main"},
                       "D:\\IDE\\运行组件2\\a.exe",
                       std::nullopt,
                       "D:\\IDE\\运行组件2"},
        InstallDirCase{"PreviewUsesProgramLocation",
                       {"x", "--preview-startup"},
                       "D:\\IDE\\a.exe",
                       std::nullopt,
                       "D:\\IDE"},
        InstallDirCase{"ProgramAloneDiscovers", {"x"}, "C:\\t\\x.exe", "D:\\IDE", "D:\\IDE"},
        InstallDirCase{"InstallDirSwitch",
                       {"x", "--install-dir", "F:\\工作台"},
                       "C:\\t\\x.exe",
                       "D:\\IDE",
                       "F:\\工作台"},
        InstallDirCase{"FirstInstallDirWins",
                       {"x", "--install-dir", "F:\\A", "--install-dir", "F:\\B"},
                       "C:\\t\\x.exe",
                       "D:\\IDE",
                       "F:\\A"},
        InstallDirCase{"InstallDirAsLastArgumentIsIgnored",
                       {"x", "--resume", "--install-dir"},
                       "C:\\t\\x.exe",
                       "D:\\IDE",
                       "D:\\IDE"},
        InstallDirCase{"NothingFound",
                       {"x", "--installer"},
                       "C:\\t\\x.exe",
                       std::nullopt,
                       std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velmo
