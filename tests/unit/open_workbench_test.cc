#include "ui/open_workbench.h"

#include <gtest/gtest.h>

#include "app/launch_worker.h"
#include "fake_ui_services.h"

namespace velmo {
namespace {

constexpr char kDir[] = "D:\\IDE";
constexpr char kNotInstalled[] = "没有检测到完整的 IDE 安装结果，无法打开程序。";

TEST(OpenWorkbenchTest, StartsTheLauncherToWaitForThisProcess) {
  test::FakeUiServices fake;
  ASSERT_TRUE(open_workbench(std::string(kDir), fake.services()));
  EXPECT_EQ(fake.installed_checks, std::vector<std::string>{kDir});
  EXPECT_EQ(fake.launcher_installs, std::vector<std::string>{kDir});
  ASSERT_EQ(fake.started.size(), 1u);
  EXPECT_EQ(fake.started[0].program, "D:\\IDE\\运行组件\\VelmoQen工作台启动器.exe");
  EXPECT_EQ(fake.started[0].arguments,
            (std::vector<std::string>{"--wait-for-process", "4242", "--launch-main"}));
  EXPECT_EQ(fake.started[0].working_directory, kDir);
}

TEST(OpenWorkbenchTest, FailuresStopAtTheFirstStep) {
  struct Case {
    const char* name;
    bool has_dir;
    bool installed;
    bool protected_installation;
    Result<std::string> launcher;
    OsStatus start;
    const char* message;
    size_t launcher_installs;
    size_t starts;
  };
  const Case cases[] = {
      {"NoDirectory", false, true, true, std::string("L.exe"), {}, kNotInstalled, 0, 0},
      {"NotInstalled", true, false, true, std::string("L.exe"), {}, kNotInstalled, 0, 0},
      {"LauncherFails",
       true,
       true,
       true,
       fail("启动器目录不是普通目录。"),
       {},
       "启动器目录不是普通目录。",
       1,
       0},
      {"NotProtected",
       true,
       true,
       false,
       std::string("L.exe"),
       {},
       kUnprotectedInstallationMessage,
       0,
       0},
      {"StartFails", true, true, true, std::string("L.exe"),
       std::unexpected(OsError{2, "系统找不到指定的文件。"}),
       "准备打开 IDE 失败：系统找不到指定的文件。 (os error 2)", 1, 1},
  };
  for (const Case& c : cases) {
    test::FakeUiServices fake;
    fake.installed = c.installed;
    fake.protected_installation = c.protected_installation;
    fake.launcher = c.launcher;
    fake.start_result = c.start;
    const std::optional<std::string> dir =
        c.has_dir ? std::optional<std::string>(kDir) : std::nullopt;

    const Status opened = open_workbench(dir, fake.services());

    ASSERT_FALSE(opened) << c.name;
    EXPECT_EQ(opened.error(), c.message) << c.name;
    EXPECT_EQ(fake.launcher_installs.size(), c.launcher_installs) << c.name;
    EXPECT_EQ(fake.started.size(), c.starts) << c.name;
  }
}

}  // namespace
}  // namespace velmo
