#include "product_install/main_program_install.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "environment/data_directory.h"
#include "environment/install_location.h"
#include "install_fixture.h"
#include "platform/mutation_seam.h"
#include "platform/process.h"
#include "platform/windows_path.h"
#include "product_install/startup_launcher.h"

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace velmo {
namespace {

using test::InstallFixture;

bool is_allowed_leftover(const std::string& name) {
  return name.find(".recovery-") != std::string::npos;
}

class MainProgramInstallTest : public testing::Test {
 protected:
  InstallFixture machine_;
};

TEST_F(MainProgramInstallTest, FreshInstallIntoANewDirectory) {
  const Status applied = machine_.apply();
  ASSERT_TRUE(applied.has_value()) << applied.error();
  EXPECT_TRUE(machine_.new_installation_complete());
  std::vector<std::string> names = machine_.names();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"VelmoQen工作台.exe", "install-manifest.json",
                                             InstallFixture::kLauncherDir}));
  EXPECT_EQ(discover_install_location([](const std::string&) { return false; }),
            machine_.install_dir());
}

TEST_F(MainProgramInstallTest, UpdateReplacesProgramAndRetiresTheCommandLibrary) {
  machine_.make_old_installation();
  const Status applied = machine_.apply();
  ASSERT_TRUE(applied.has_value()) << applied.error();
  EXPECT_TRUE(machine_.new_installation_complete());
  for (const std::string& name : machine_.names()) {
    EXPECT_FALSE(name.find("backup") != std::string::npos || is_allowed_leftover(name)) << name;
  }
}

TEST_F(MainProgramInstallTest, RunningWorkbenchMeansNothingIsTouched) {
  machine_.make_old_installation();
  InstallServices services = machine_.services();
  services.ensure_workbench_not_running = [](const std::string&) -> Status {
    return fail("VelmoQen工作台仍在退出，请稍候重新检测后继续更新。");
  };
  const std::vector<std::string> before = machine_.names();
  EXPECT_EQ(machine_.apply(services).error(), "VelmoQen工作台仍在退出，请稍候重新检测后继续更新。");
  EXPECT_EQ(machine_.names(), before);
  EXPECT_TRUE(machine_.old_installation_intact());
}

TEST_F(MainProgramInstallTest, RefusedDirectoriesAreLeftAsTheyAre) {
  struct Case {
    const char* name;
    std::function<void()> arrange;
    std::string message;
  };
  const auto in_dir = [this](const std::string& name) { return machine_.in_dir(name); };
  const Case cases[] = {
      {"only an old command library", [&] { ASSERT_TRUE(create_directories(in_dir("engine-db"))); },
       "安装目录包含同名程序、启动器、安装清单或旧命令库，但无法确认是本产品安装目录；请选择空目录"
       "。"},
      {"a program of the same name",
       [&] { test::write_file(in_dir("VelmoQen工作台.exe"), "MZ someone else's"); },
       "安装目录包含同名程序、启动器、安装清单或旧命令库，但无法确认是本产品安装目录；请选择空目录"
       "。"},
      {"an older launcher", [&] { test::write_file(in_dir("VelmoQen工作台启动器.exe"), "MZ"); },
       "安装目录包含同名程序、启动器、安装清单或旧命令库，但无法确认是本产品安装目录；请选择空目录"
       "。"},
      {"a leftover partial program",
       [&] {
         machine_.make_old_installation();
         test::write_file(in_dir("VelmoQen工作台.exe.velmo-install-partial"), "MZ half");
       },
       "检测到未处理的主程序安装临时文件，已拒绝继续覆盖。"},
      {"a leftover backup without an installation",
       [&] { test::write_file(in_dir("VelmoQen工作台.exe.velmo-update-backup"), "MZ old"); },
       "检测到未处理的旧程序更新备份，且当前安装不完整；已保留现场并停止覆盖。"},
      {"a leftover command library backup",
       [&] {
         machine_.make_old_installation();
         ASSERT_TRUE(create_directories(in_dir("engine-db.velmo-installer-backup")));
       },
       "检测到未处理的旧命令库备份，已拒绝继续覆盖。"},
      {"a backup that is a directory",
       [&] {
         machine_.make_old_installation();
         ASSERT_TRUE(create_directories(in_dir("install-manifest.json.velmo-update-backup")));
       },
       "旧安装清单备份不是普通文件，已保留现场并停止覆盖。"},
  };
  for (const Case& c : cases) {
    std::error_code ignored;
    std::filesystem::remove_all(test::fs_path(machine_.install_dir()), ignored);
    ASSERT_TRUE(create_directories(machine_.install_dir()));
    c.arrange();
    const std::vector<std::string> before = machine_.names();
    for (int run = 0; run < 2; ++run) {
      const Status applied = machine_.apply();
      ASSERT_FALSE(applied.has_value()) << c.name;
      EXPECT_EQ(applied.error(), c.message) << c.name;
      EXPECT_EQ(machine_.names(), before) << c.name;
    }
  }
}

TEST_F(MainProgramInstallTest, StaleProgramBackupOfARecognisedInstallationIsSetAside) {
  machine_.make_old_installation();
  test::write_file(machine_.in_dir("VelmoQen工作台.exe.velmo-update-backup"), "MZ older still");
  const Status applied = machine_.apply();
  ASSERT_TRUE(applied.has_value()) << applied.error();
  EXPECT_TRUE(machine_.new_installation_complete());
  const std::string prefix = "VelmoQen工作台.exe.velmo-update-backup.recovery-stale-program-" +
                             std::to_string(current_process_id()) + "-";
  int archived = 0;
  for (const std::string& name : machine_.names()) {
    if (name.starts_with(prefix)) {
      ++archived;
      EXPECT_EQ(test::read_file(machine_.in_dir(name)), "MZ older still");
    }
  }
  EXPECT_EQ(archived, 1);
}

TEST_F(MainProgramInstallTest, DriveRootIsRefused) {
#ifdef _WIN32
  const std::string root = "C:\\";
#else
  const std::string root = "/";
#endif
  InstallServices services = machine_.services();
  EXPECT_EQ(apply_verified_installer(
                path_join(path_join(data_root(), ".."), "VelmoQenWorkbench-Update-v1.10.0.package"),
                root, services)
                .error(),
            "不能把磁盘根目录作为安装目录。");
}

TEST_F(MainProgramInstallTest, CopyThatDoesNotMatchKeepsTheOldProgram) {
  machine_.make_old_installation();
  const InstallPaths paths(machine_.install_dir());
  InstallSource source{.path = machine_.in_dir("VelmoQen工作台.exe"),
                       .sha256 = std::string(64, 'A'),
                       .bytes = std::string(InstallFixture::kOldProgram).size(),
                       .source = "test"};
  EXPECT_EQ(install_main_program(source, paths, "1.10.0", machine_.services()).error(),
            "写入后的受保护主程序校验失败，旧版本不会被覆盖。");
  EXPECT_FALSE(path_exists(paths.partial));
  EXPECT_TRUE(machine_.old_installation_intact());
}

TEST_F(MainProgramInstallTest, FailingLauncherStepRestoresTheOldInstallation) {
  machine_.make_old_installation();
  InstallServices services = machine_.services();
  services.install_startup_launcher = [](const std::string&) -> Status {
    return fail("工作台启动器复制校验失败，未改写桌面入口。");
  };
  EXPECT_EQ(machine_.apply(services).error(), "工作台启动器复制校验失败，未改写桌面入口。");
  EXPECT_TRUE(machine_.old_installation_intact());
  for (const std::string& name : machine_.names()) {
    EXPECT_EQ(name.find("velmo-"), std::string::npos) << name;
  }
}

// Every change the install makes, failed in turn. After each failure the
// directory holds the old installation (or, when the failure came after the
// new one was committed, the complete new one), nothing of the run's
// temporary names, and a clean run afterwards completes.
struct FaultState {
  int countdown = -1;  // fail when it reaches 0; -1: never
  int seen = 0;
};
FaultState g_faults;

std::optional<OsError> fail_nth(Mutation, const std::string&) {
  ++g_faults.seen;
  if (g_faults.countdown >= 0 && g_faults.countdown-- == 0) {
    return OsError{1117, "injected fault"};
  }
  return std::nullopt;
}

// One apply with the hook in place; the hook is gone again whatever happens.
Status apply_under(MutationHook hook, InstallFixture& machine) {
  const ScopedMutationHook scoped(hook);
  return machine.apply();
}

class InstallFaultTest : public testing::TestWithParam<bool> {};

TEST_P(InstallFaultTest, EveryChangeFailedInTurnLeavesARecoverableDirectory) {
  const bool update = GetParam();
  int total = 0;
  {
    InstallFixture counting;
    if (update) {
      counting.make_old_installation();
    }
    g_faults = {};
    const Status applied = apply_under(fail_nth, counting);
    ASSERT_TRUE(applied.has_value()) << applied.error();
    total = g_faults.seen;
  }
  ASSERT_GT(total, 5);
  for (int k = 0; k < total; ++k) {
    InstallFixture machine;
    if (update) {
      machine.make_old_installation();
    }
    g_faults = {.countdown = k};
    const Status applied = apply_under(fail_nth, machine);
    if (!applied) {
      EXPECT_NE(applied.error().find("injected fault"), std::string::npos)
          << "change " << k << ": " << applied.error();
    }
    const bool old_state = update ? machine.old_installation_intact()
                                  : !path_exists(machine.in_dir(kMainProgramFileName));
    EXPECT_TRUE(old_state || machine.new_program_installed())
        << "change " << k << ": " << (applied ? "ok" : applied.error());
    for (const std::string& name : machine.names()) {
      const bool ours = name == kMainProgramFileName || name == kInstallManifestFileName ||
                        name == InstallFixture::kLauncherDir || name == kCommandLibraryDirName ||
                        name.find(".recovery-") != std::string::npos;
      EXPECT_TRUE(ours) << "change " << k << " left " << name;
    }
    const Status again = machine.apply();
    EXPECT_TRUE(again.has_value()) << "change " << k << ", next run: " << again.error();
    EXPECT_TRUE(machine.new_installation_complete()) << "change " << k;
  }
}

INSTANTIATE_TEST_SUITE_P(FreshAndUpdate, InstallFaultTest, testing::Bool(), [](const auto& info) {
  return std::string(info.param ? "Update" : "FreshInstall");
});

#ifndef _WIN32
// A run stopped dead after change k (the process ends before change k+1),
// for every k; then a new run. It completes, or refuses with one of the
// messages for leftovers, and the old program is never lost: it is in
// place, or under its backup or recovery name, until the new one is
// committed.
int g_stop_countdown = -1;
std::optional<OsError> stop_at(Mutation, const std::string&) {
  if (g_stop_countdown >= 0 && g_stop_countdown-- == 0) {
    ::_exit(42);
  }
  return std::nullopt;
}

bool old_program_somewhere(const InstallFixture& machine) {
  for (const std::string& name : machine.names()) {
    if (InstallFixture::read_file_or_empty(machine.in_dir(name)) == InstallFixture::kOldProgram) {
      return true;
    }
  }
  return false;
}

TEST(InstallCrashTest, EveryStopIsRecoveredOrRefusedWithoutLosingTheOldProgram) {
  int total = 0;
  {
    InstallFixture counting;
    counting.make_old_installation();
    g_faults = {};
    ASSERT_TRUE(apply_under(fail_nth, counting));
    total = g_faults.seen;
  }
  const std::vector<std::string> refusals = {
      "检测到未处理的主程序安装临时文件，已拒绝继续覆盖。",
      "检测到未处理的旧程序更新备份，且当前安装不完整；已保留现场并停止覆盖。",
      "检测到未处理的旧命令库备份，已拒绝继续覆盖。",
      // Stopped between moving the program and the manifest aside: the
      // directory is no longer recognised, and its manifest is foreign.
      "安装目录包含同名程序、启动器、安装清单或旧命令库，但无法确认是本产品安装目录；请选择空目录"
      "。",
  };
  for (int k = 0; k <= total; ++k) {
    InstallFixture machine;
    machine.make_old_installation();
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      g_stop_countdown = k;
      ::_exit(apply_under(stop_at, machine) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    const bool stopped = WEXITSTATUS(status) == 42;
    EXPECT_TRUE(stopped || k == total) << "stop " << k << " exit " << WEXITSTATUS(status);

    const Status next = machine.apply();
    if (next) {
      EXPECT_TRUE(machine.new_installation_complete()) << "stop " << k;
      continue;
    }
    EXPECT_NE(std::find(refusals.begin(), refusals.end(), next.error()), refusals.end())
        << "stop " << k << ": " << next.error();
    // Once the update was committed the old program is gone on purpose.
    EXPECT_TRUE(old_program_somewhere(machine) || machine.new_program_installed()) << "stop " << k;
  }
}

// A symbolic link at each name the install would create, write, move or
// delete: refused with its message, nothing written through it, and the
// old installation untouched.
TEST(InstallHostileLinkTest, LinksAtEveryNameAreRefused) {
  struct Case {
    const char* name;
    std::string link;  // relative to the install directory, or "" for it
    bool to_directory;
    std::string message;
  };
  const std::string downloads = "../../data/VelmoInstaller/downloads/embedded-core";
  const Case cases[] = {
      {"install directory", "", true, "安装目录不是受支持的普通目录，已拒绝写入。"},
      {"main program", "VelmoQen工作台.exe", false,
       "安装目录包含同名程序、启动器、安装清单或旧命令库，但无法确认是本产品安装目录；请选择空目录"
       "。"},
      {"manifest", "install-manifest.json", false,
       "安装目录包含同名程序、启动器、安装清单或旧命令库，但无法确认是本产品安装目录；请选择空目录"
       "。"},
      {"program backup", "VelmoQen工作台.exe.velmo-update-backup", false,
       "旧主程序更新备份不是普通文件，已保留现场并停止覆盖。"},
      {"manifest backup", "install-manifest.json.velmo-update-backup", false,
       "旧安装清单备份不是普通文件，已保留现场并停止覆盖。"},
      {"partial program", "VelmoQen工作台.exe.velmo-install-partial", false,
       "检测到未处理的主程序安装临时文件，已拒绝继续覆盖。"},
      {"command library", "engine-db", true, "旧命令库不是受支持的普通目录，已拒绝移动。"},
      {"command library backup", "engine-db.velmo-installer-backup", true,
       "检测到未处理的旧命令库备份，已拒绝继续覆盖。"},
      {"cache directory", downloads, true, "受保护主程序缓存目录不是普通目录，已停止更新。"},
      {"cache file", downloads + "/VelmoQenWorkbench-Core-v1.10.0.exe", false,
       "受保护主程序不是普通文件，已停止更新。"},
      {"launcher folder", "运行组件", true, "工作台运行组件目录不是普通目录，已停止覆盖。"},
      {"launcher backup", "运行组件/VelmoQen工作台启动器.exe.velmo-launcher-backup", false,
       "遗留的启动器更新备份不是普通文件，已保留现场并停止覆盖。"},
      {"launcher part file", "运行组件/VelmoQen工作台启动器.exe.part", false,
       "遗留的启动器安装临时文件不是普通文件，已保留现场并停止覆盖。"},
  };
  for (const Case& c : cases) {
    InstallFixture machine;
    machine.make_old_installation();
    test::TempDir elsewhere("velmo-target");
    const std::string target = elsewhere.join("target");
    if (c.to_directory) {
      ASSERT_TRUE(create_directories(target));
    } else {
      test::write_file(target, "MZ not ours");
    }
    std::string link = c.link.empty() ? machine.install_dir() : machine.in_dir(c.link);
    if (c.link.empty()) {
      // The installation moves aside; the install directory's name is a link.
      ASSERT_TRUE(rename_path(link, link + ".real"));
    } else if (path_exists(link)) {
      ASSERT_TRUE(c.to_directory ? remove_directory_tree(link) : remove_file(link));
    }
    ASSERT_TRUE(create_directories(*parent_path(link)));
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0) << c.name;

    // The real launcher step, copying this test program as the assistant.
    const Status applied = machine.apply(install_services_with_assistant(running_image));
    ASSERT_FALSE(applied.has_value()) << c.name;
    EXPECT_EQ(applied.error(), c.message) << c.name;
    if (c.to_directory) {
      EXPECT_TRUE(std::filesystem::is_empty(target)) << c.name;
    } else {
      EXPECT_EQ(test::read_file(target), "MZ not ours") << c.name;
    }
    if (!c.link.empty() && c.link != "VelmoQen工作台.exe" && c.link != "install-manifest.json" &&
        c.link != "engine-db") {
      EXPECT_TRUE(machine.old_installation_intact()) << c.name;
    }
  }
}
#endif

}  // namespace
}  // namespace velmo
