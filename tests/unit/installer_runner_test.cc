#include "app/installer_runner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../unit/temp_dir.h"
#include "platform/captured_process.h"
#include "platform/process.h"

namespace velmo {
namespace {

TEST(InstallerRunnerTest, ExitCodesDecideSuccess) {
  struct Case {
    int32_t exit_code;
    bool success;
  };
  const Case cases[] = {
      {0, true},   {1641, true},     {3010, true},         {2359302, true},
      {1, false},  {5, false},       {1603, false},        {3011, false},
      {-1, false}, {2359303, false}, {-1073741819, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(is_installer_success_code(c.exit_code), c.success) << c.exit_code;
    const Status ran =
        run_installer("setup.exe", {}, "folder", kExecutableInstallerName,
                      [&c](const std::string&, const std::vector<std::string>&,
                           const std::string&) -> OsResult<int32_t> { return c.exit_code; });
    EXPECT_EQ(ran.has_value(), c.success) << c.exit_code;
    if (!c.success) {
      EXPECT_EQ(ran.error(), "安装程序执行失败，错误码 " + std::to_string(c.exit_code) + "。");
    }
  }
}

TEST(InstallerRunnerTest, AccessViolationShowsAsSignedNumber) {
  EXPECT_EQ(installer_failure_message("安装程序", static_cast<int32_t>(0xC0000005u)),
            "安装程序执行失败，错误码 -1073741819。");
}

TEST(InstallerRunnerTest, ProgramThatCannotStartFails) {
  const Status ran = run_installer("/no/such/dir/setup.exe", {"/silent"}, system_directory(),
                                   kExecutableInstallerName);
  ASSERT_FALSE(ran.has_value());
  EXPECT_TRUE(ran.error().starts_with("启动安装程序失败：")) << ran.error();
  EXPECT_NE(ran.error().find("(os error "), std::string::npos) << ran.error();
}

// A real child process: the exit code comes back unchanged, arguments
// arrive as given.
#ifdef _WIN32
const std::string kShell = system_program_path("cmd.exe");
std::vector<std::string> exit_with(int code) {
  return {"/c", "exit " + std::to_string(code)};
}
// Writes the current directory into where.txt, found relative to it.
const std::vector<std::string> kWriteWhere = {"/c", "cd > where.txt"};
#else
const std::string kShell = "/bin/sh";
std::vector<std::string> exit_with(int code) {
  return {"-c", "exit " + std::to_string(code)};
}
const std::vector<std::string> kWriteWhere = {"-c", "pwd > where.txt"};
#endif

TEST(InstallerRunnerTest, RealProcessExitCodes) {
  for (const int code : {0, 1, 5, 42}) {
    const OsResult<int32_t> exit_code = run_and_wait(kShell, exit_with(code), system_directory());
    ASSERT_TRUE(exit_code.has_value()) << exit_code.error().text;
    EXPECT_EQ(*exit_code, code);
  }
  EXPECT_TRUE(run_installer(kShell, exit_with(0), system_directory(), kExecutableInstallerName)
                  .has_value());
  const Status failed =
      run_installer(kShell, exit_with(5), system_directory(), kExecutableInstallerName);
  ASSERT_FALSE(failed.has_value());
  EXPECT_EQ(failed.error(), "安装程序执行失败，错误码 5。");
}

// The program starts in the directory it is given, not in ours.
TEST(InstallerRunnerTest, RealProcessStartsInTheGivenDirectory) {
  const test::TempDir downloads{"velmo-run-downloads"};
  const test::ScopedCurrentDirectory started_from(downloads.path());
  const test::TempDir dir{"velmo-run-where"};
  const OsResult<int32_t> exit_code = run_and_wait(kShell, kWriteWhere, dir.path());
  ASSERT_TRUE(exit_code.has_value()) << exit_code.error().text;
  EXPECT_EQ(*exit_code, 0);
  std::string where = test::read_file(dir.join("where.txt"));
  while (!where.empty() && (where.back() == '\n' || where.back() == '\r')) {
    where.pop_back();
  }
  EXPECT_EQ(where, dir.path());
}

}  // namespace
}  // namespace velmo
