#include "product_install/startup_launcher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>

#include "fake_launcher_platform.h"
#include "mutation_recorder.h"
#include "network/sha256_file.h"
#include "platform/file_system.h"
#include "platform/path_attributes.h"
#include "product_files/install_manifest.h"
#include "product_files/launcher_layout.h"
#include "product_install/desktop_shortcut.h"
#include "product_install/shortcut_run_as_user.h"
#include "temp_dir.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace velmo {
namespace {

constexpr char kNewLauncher[] = "MZ launcher 2.0";
constexpr char kOldLauncher[] = "MZ launcher 1.0 (older)";
constexpr char kVictim[] = "not ours";
constexpr char kInjected[] = "injected (os error 5)";

// What is found, or expected, under one of the launcher's names.
enum class Entry {
  kAbsent,
  kNew,        // a plain file with the source's content
  kOld,        // a plain file with other content
  kDirectory,  // a plain directory
  kLink,       // a symbolic link to a file outside (POSIX only)
};

class StartupLauncherTest : public testing::Test {
 protected:
  StartupLauncherTest() {
    EXPECT_TRUE(create_directories(install_dir_));
    test::write_file(main_program_, "MZ workbench");
    EXPECT_TRUE(write_install_manifest(path_join(install_dir_, kInstallManifestFileName),
                                       install_dir_, main_program_, "1.4.0"));
    EXPECT_TRUE(create_directories(desktop_));
    test::write_file(source_, kNewLauncher);
    test::write_file(victim_, kVictim);
  }

  Result<std::string> install() {
    return install_startup_launcher(install_dir_, launcher_source_at(source_), platform_);
  }

  void make(const std::string& path, Entry entry) {
    if (entry == Entry::kAbsent) {
      return;
    }
    ASSERT_TRUE(create_directories(layout_.runtime_folder));
    switch (entry) {
      case Entry::kAbsent:
        return;
      case Entry::kNew:
        return test::write_file(path, kNewLauncher);
      case Entry::kOld:
        return test::write_file(path, kOldLauncher);
      case Entry::kDirectory:
        ASSERT_TRUE(create_directories(path));
        return;
      case Entry::kLink:
#ifndef _WIN32
        ASSERT_EQ(::symlink(victim_.c_str(), path.c_str()), 0) << path;
#else
        FAIL() << "links are made on POSIX only";
#endif
        return;
    }
  }

  // Whether the name holds what `entry` describes; the link's target must
  // still hold its own content, whatever happened.
  void expect(const std::string& path, Entry entry, const std::string& context) {
    const OsResult<PathAttributes> attributes = read_path_attributes(path);
    EXPECT_EQ(test::read_file(victim_), kVictim) << context;
    switch (entry) {
      case Entry::kAbsent:
        EXPECT_FALSE(attributes.has_value()) << context << ": " << path;
        return;
      case Entry::kNew:
      case Entry::kOld:
        ASSERT_TRUE(attributes && is_plain_file(*attributes)) << context << ": " << path;
        EXPECT_EQ(test::read_file(path), entry == Entry::kNew ? kNewLauncher : kOldLauncher)
            << context << ": " << path;
        return;
      case Entry::kDirectory:
        EXPECT_TRUE(attributes && is_plain_directory(*attributes)) << context << ": " << path;
        return;
      case Entry::kLink:
        EXPECT_TRUE(attributes && attributes->name_surrogate) << context << ": " << path;
        return;
    }
  }

  // Names in the runtime folder that an archived backup would have.
  size_t archived_backups() const {
    size_t count = 0;
    for (const auto& entry :
         std::filesystem::directory_iterator(test::fs_path(layout_.runtime_folder))) {
      count += entry.path().filename().string().find(".recovery-stale-startup-helper-") !=
               std::string::npos;
    }
    return count;
  }

  std::string shortcut_path() const {
    return path_join(desktop_, kDesktopShortcutFileName);
  }

  test::TempDir root_{"velmo-launcher"};
  std::string install_dir_ = root_.join("VelmoQen工作台");
  std::string main_program_ = path_join(install_dir_, kMainProgramFileName);
  std::string source_ = root_.join("velmo-assistant.exe");
  std::string desktop_ = root_.join("Desktop");
  std::string victim_ = root_.join("victim.exe");
  LauncherLayout layout_ = launcher_layout(install_dir_);
  test::FakeLauncherShell shell_{desktop_};
  LauncherPlatform platform_ = shell_.platform();
};

TEST_F(StartupLauncherTest, FreshInstallCopiesHidesAndWritesTheShortcut) {
  const Result<std::string> launcher = install();
  ASSERT_TRUE(launcher.has_value()) << launcher.error();
  EXPECT_EQ(*launcher, path_join(path_join(install_dir_, "运行组件"), "VelmoQen工作台启动器.exe"));
  expect(*launcher, Entry::kNew, "launcher");
  EXPECT_EQ(shell_.hidden, std::vector<std::string>{layout_.runtime_folder});

  ASSERT_EQ(shell_.saved.size(), 1u);
  const auto& [fields, link_path] = shell_.saved[0];
  EXPECT_EQ(link_path, shortcut_path());
  EXPECT_EQ(fields.target, *launcher);
  EXPECT_EQ(fields.arguments, "--launch-main");
  EXPECT_EQ(fields.working_directory, install_dir_);
  EXPECT_EQ(fields.icon_path, main_program_);
  EXPECT_EQ(fields.icon_index, 0);

  std::string expected_link(test::FakeLauncherShell::kSavedLinkBytes, '\0');
  expected_link[kRunAsUserByteOffset] = static_cast<char>(kRunAsUserBit);
  EXPECT_EQ(test::read_file(shortcut_path()), expected_link);
}

TEST_F(StartupLauncherTest, DirectoryThatIsNotAnInstallationIsLeftUntouched) {
  ASSERT_TRUE(remove_file(path_join(install_dir_, kInstallManifestFileName)));
  const Result<std::string> launcher = install();
  ASSERT_FALSE(launcher.has_value());
  EXPECT_EQ(launcher.error(), "工作台安装清单或主程序不完整，无法安全启动。");
  EXPECT_FALSE(path_exists(layout_.runtime_folder));
  EXPECT_TRUE(shell_.hidden.empty());
  EXPECT_TRUE(shell_.saved.empty());
}

// The state of the launcher's names before a run, and what must hold after.
struct StateCase {
  const char* name;
  Entry launcher;
  Entry backup;
  Entry part;
  Entry older;
  const char* message;  // nullptr: success
  Entry launcher_after;
  bool copies;
  Entry backup_after;
  Entry part_after;
};

constexpr char kBackupNotPlain[] = "遗留的启动器更新备份不是普通文件，已保留现场并停止覆盖。";
constexpr char kLauncherNotPlain[] = "当前工作台启动器不是普通文件，已保留遗留备份并停止覆盖。";
constexpr char kPartNotPlain[] = "遗留的启动器安装临时文件不是普通文件，已保留现场并停止覆盖。";
constexpr char kOlderNotPlain[] = "旧工作台启动器不是普通文件，已拒绝处理。";

using enum Entry;

const StateCase kStateCases[] = {
    {"Fresh", kAbsent, kAbsent, kAbsent, kAbsent, nullptr, kNew, true, kAbsent, kAbsent},
    {"CurrentLauncherKept", kNew, kAbsent, kAbsent, kAbsent, nullptr, kNew, false, kAbsent,
     kAbsent},
    {"OtherLauncherReplaced", kOld, kAbsent, kAbsent, kAbsent, nullptr, kNew, true, kAbsent,
     kAbsent},
    {"BackupWithoutLauncherRestoredAndKept", kAbsent, kNew, kAbsent, kAbsent, nullptr, kNew, false,
     kAbsent, kAbsent},
    {"BackupWithoutLauncherRestoredThenReplaced", kAbsent, kOld, kAbsent, kAbsent, nullptr, kNew,
     true, kAbsent, kAbsent},
    {"BackupBesideLauncherSetAside", kOld, kOld, kAbsent, kAbsent, nullptr, kNew, true, kAbsent,
     kAbsent},
    {"BackupDirectoryRefused", kOld, kDirectory, kAbsent, kAbsent, kBackupNotPlain, kOld, false,
     kDirectory, kAbsent},
    {"LauncherDirectoryBesideBackupRefused", kDirectory, kOld, kAbsent, kAbsent, kLauncherNotPlain,
     kDirectory, false, kOld, kAbsent},
    {"PartFileDeleted", kOld, kAbsent, kOld, kAbsent, nullptr, kNew, true, kAbsent, kAbsent},
    {"PartFileDeletedBesideCurrentLauncher", kNew, kAbsent, kOld, kAbsent, nullptr, kNew, false,
     kAbsent, kAbsent},
    {"PartDirectoryRefused", kOld, kAbsent, kDirectory, kAbsent, kPartNotPlain, kOld, false,
     kAbsent, kDirectory},
    {"OlderLauncherHidden", kAbsent, kAbsent, kAbsent, kOld, nullptr, kNew, true, kAbsent, kAbsent},
    {"OlderLauncherDirectoryRefused", kNew, kAbsent, kAbsent, kDirectory, kOlderNotPlain, kNew,
     false, kAbsent, kAbsent},
#ifndef _WIN32
    {"BackupLinkRefused", kOld, kLink, kAbsent, kAbsent, kBackupNotPlain, kOld, false, kLink,
     kAbsent},
    {"BackupLinkWithoutLauncherRefused", kAbsent, kLink, kAbsent, kAbsent, kBackupNotPlain, kAbsent,
     false, kLink, kAbsent},
    {"LauncherLinkBesideBackupRefused", kLink, kOld, kAbsent, kAbsent, kLauncherNotPlain, kLink,
     false, kOld, kAbsent},
    {"PartLinkRefused", kOld, kAbsent, kLink, kAbsent, kPartNotPlain, kOld, false, kAbsent, kLink},
    // Not read or written through: the link itself is set aside and deleted.
    {"LauncherLinkReplacedNotFollowed", kLink, kAbsent, kAbsent, kAbsent, nullptr, kNew, true,
     kAbsent, kAbsent},
    {"OlderLauncherLinkRefused", kNew, kAbsent, kAbsent, kLink, kOlderNotPlain, kNew, false,
     kAbsent, kAbsent},
#endif
};

void PrintTo(const StateCase& c, std::ostream* os) {
  *os << c.name;
}

class LauncherStateTest : public StartupLauncherTest,
                          public testing::WithParamInterface<StateCase> {};

TEST_P(LauncherStateTest, EndsAsExpected) {
  const StateCase& c = GetParam();
  make(layout_.launcher, c.launcher);
  make(layout_.backup, c.backup);
  make(layout_.part, c.part);
  make(layout_.older_launcher, c.older);
  test::ScopedMutationRecorder recorder;

  const Result<std::string> launcher = install();

  if (c.message == nullptr) {
    ASSERT_TRUE(launcher.has_value()) << launcher.error();
    EXPECT_EQ(shell_.saved.size(), 1u);
  } else {
    ASSERT_FALSE(launcher.has_value());
    EXPECT_EQ(launcher.error(), c.message);
    EXPECT_TRUE(shell_.saved.empty());
  }
  expect(layout_.launcher, c.launcher_after, "launcher");
  expect(layout_.backup, c.backup_after, "backup");
  expect(layout_.part, c.part_after, "part");
  EXPECT_EQ(recorder.paths(Mutation::kCopyFile).empty(), !c.copies);
  EXPECT_EQ(archived_backups(), 0u);
  const bool older_hidden = std::find(shell_.hidden.begin(), shell_.hidden.end(),
                                      layout_.older_launcher) != shell_.hidden.end();
  EXPECT_EQ(older_hidden, c.older == Entry::kOld);
  if (c.older != Entry::kAbsent) {
    expect(layout_.older_launcher, c.older, "older launcher");
  }
}

INSTANTIATE_TEST_SUITE_P(States,
                         LauncherStateTest,
                         testing::ValuesIn(kStateCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(StartupLauncherTest, BackupBesideLauncherIsArchivedThenDeleted) {
  make(layout_.launcher, Entry::kOld);
  make(layout_.backup, Entry::kOld);
  test::ScopedMutationRecorder recorder;
  ASSERT_TRUE(install().has_value());

  const std::vector<std::string> removed = recorder.paths(Mutation::kRemoveFile);
  const std::string archived_prefix = layout_.backup + ".recovery-stale-startup-helper-";
  const auto archived = std::find_if(removed.begin(), removed.end(), [&](const std::string& p) {
    return p.starts_with(archived_prefix);
  });
  ASSERT_NE(archived, removed.end());
  const std::vector<std::string> renamed = recorder.paths(Mutation::kRename);
  ASSERT_FALSE(renamed.empty());
  EXPECT_EQ(renamed.front(), layout_.backup);
  EXPECT_EQ(archived_backups(), 0u);
}

TEST_F(StartupLauncherTest, ArchivedBackupIsKeptWhenTheLauncherCannotBeReplaced) {
  make(layout_.launcher, Entry::kOld);
  make(layout_.backup, Entry::kOld);
  test::ScopedMutationRecorder recorder;
  recorder.fail(Mutation::kCopyFile, layout_.part);
  ASSERT_FALSE(install().has_value());
  EXPECT_EQ(archived_backups(), 1u);
  expect(layout_.launcher, Entry::kOld, "launcher");
}

TEST_F(StartupLauncherTest, SourceThatIsTheLauncherIsNotCopied) {
  make(layout_.launcher, Entry::kOld);
  make(layout_.backup, Entry::kOld);
  test::ScopedMutationRecorder recorder;
  const Result<std::string> launcher =
      install_startup_launcher(install_dir_, launcher_source_at(layout_.launcher), platform_);
  ASSERT_TRUE(launcher.has_value()) << launcher.error();
  EXPECT_TRUE(recorder.paths(Mutation::kCopyFile).empty());
  EXPECT_TRUE(recorder.paths(Mutation::kRename).empty());
  // Leftovers are not looked at either: the running launcher is not swapped.
  expect(layout_.backup, Entry::kOld, "backup");
  expect(layout_.launcher, Entry::kOld, "launcher");
  ASSERT_EQ(shell_.saved.size(), 1u);
  EXPECT_EQ(shell_.saved[0].first.target, layout_.launcher);
}

// The assistant holds its own file from its start. Whoever may change the
// folder it runs from can still move that file away and put another under
// its name; what becomes the launcher is the held file, each time.
TEST_F(StartupLauncherTest, HeldSourceIsCopiedWhateverItsNameStandsForNow) {
  OsResult<File> held = File::open_for_read_locked(source_);
  ASSERT_TRUE(held.has_value());
  const LauncherSource source =
      held_launcher_source(std::make_shared<const File>(std::move(*held)), source_);
#ifndef _WIN32
  ASSERT_TRUE(rename_path(source_, source_ + ".moved"));
  test::write_file(source_, "MZ planted by another account");
#endif
  for (int run = 0; run < 2; ++run) {
    const Result<std::string> launcher = install_startup_launcher(install_dir_, source, platform_);
    ASSERT_TRUE(launcher.has_value()) << launcher.error();
    EXPECT_EQ(test::read_file(layout_.launcher), kNewLauncher) << "run " << run;
    // The second run finds the launcher current; it must still read the
    // held file from its start.
  }
}

TEST(RunningImageTest, OpensTheProgramThatRuns) {
  OsResult<File> image = File::open_running_image();
  ASSERT_TRUE(image.has_value()) << describe_os_error(image.error());
  const OsResult<std::string> path = running_program_file();
  ASSERT_TRUE(path.has_value());
  const OsResult<uint64_t> size = image->size();
  ASSERT_TRUE(size.has_value());
  EXPECT_EQ(*size, *file_size(*path));
  OsResult<File> copy = image->duplicate();
  ASSERT_TRUE(copy.has_value());
  const Result<std::string> held_digest = hash_open_file(*copy);
  const Result<std::string> named_digest = sha256_file(*path);
  ASSERT_TRUE(held_digest && named_digest);
  EXPECT_EQ(*held_digest, *named_digest);
}

TEST_F(StartupLauncherTest, SourceProblemsEndTheRun) {
  const Result<std::string> unknown = install_startup_launcher(
      install_dir_,
      [] {
        return OsResult<LauncherFile>(std::unexpected(OsError{2, "gone"}));
      },
      platform_);
  ASSERT_FALSE(unknown.has_value());
  EXPECT_EQ(unknown.error(), "读取启动器路径失败：gone (os error 2)");

  const Result<std::string> missing = install_startup_launcher(
      install_dir_, launcher_source_at(root_.join("missing.exe")), platform_);
  ASSERT_FALSE(missing.has_value());
  EXPECT_TRUE(missing.error().starts_with("读取校验文件失败：")) << missing.error();
  EXPECT_FALSE(path_exists(layout_.launcher));
  EXPECT_TRUE(shell_.saved.empty());
}

TEST_F(StartupLauncherTest, CopyThatDiffersFromTheSourceIsDiscarded) {
  make(layout_.launcher, Entry::kOld);
  test::ScopedMutationRecorder recorder;
  // The copy is damaged on disk between the copy and the check.
  recorder.before(Mutation::kCreateFile, layout_.part, [&] {
    std::ofstream(test::fs_path(layout_.part), std::ios::binary | std::ios::app) << "x";
  });
  const Result<std::string> launcher = install();
  ASSERT_FALSE(launcher.has_value());
  EXPECT_EQ(launcher.error(), "工作台启动器复制校验失败，未改写桌面入口。");
  expect(layout_.part, Entry::kAbsent, "part");
  expect(layout_.launcher, Entry::kOld, "launcher");
  expect(layout_.backup, Entry::kAbsent, "backup");
  EXPECT_TRUE(shell_.saved.empty());
}

// A name of the layout, for tables written before the layout is known.
enum class Name { kNothing, kRuntimeFolder, kLauncher, kBackup, kPart, kShortcut };

struct Fault {
  Mutation kind;
  Name name;
};

// Changes that fail, and the state they must leave.
struct FaultCase {
  const char* name;
  Entry launcher;
  Entry backup;
  Entry part;
  std::vector<Fault> faults;
  std::string message;
  Entry launcher_after;
  Entry backup_after;
  Entry part_after;
};

std::string injected(std::string_view phrase) {
  return std::string(phrase) + "：" + kInjected;
}

const FaultCase kFaultCases[] = {
    {"RuntimeFolderNotCreated",
     kAbsent,
     kAbsent,
     kAbsent,
     {{Mutation::kCreateDirectory, Name::kRuntimeFolder}},
     injected("创建工作台运行组件目录失败"),
     kAbsent,
     kAbsent,
     kAbsent},
    {"LeftoverBackupNotRestored",
     kAbsent,
     kOld,
     kAbsent,
     {{Mutation::kRename, Name::kBackup}},
     injected("恢复遗留工作台启动器失败"),
     kAbsent,
     kOld,
     kAbsent},
    {"LeftoverBackupNotArchived",
     kOld,
     kOld,
     kAbsent,
     {{Mutation::kRename, Name::kBackup}},
     injected("归档遗留工作台启动器备份失败"),
     kOld,
     kOld,
     kAbsent},
    {"LeftoverPartNotDeleted",
     kOld,
     kAbsent,
     kOld,
     {{Mutation::kRemoveFile, Name::kPart}},
     injected("清理启动器安装临时文件失败"),
     kOld,
     kAbsent,
     kOld},
    {"CopyFails",
     kOld,
     kAbsent,
     kAbsent,
     {{Mutation::kCopyFile, Name::kPart}},
     injected("复制工作台启动器失败"),
     kOld,
     kAbsent,
     kAbsent},
    {"CopyNotOpenedForSaving",
     kOld,
     kAbsent,
     kAbsent,
     {{Mutation::kCreateFile, Name::kPart}},
     injected("保存工作台启动器失败"),
     kOld,
     kAbsent,
     kNew},
    {"CopyNotFlushed",
     kOld,
     kAbsent,
     kAbsent,
     {{Mutation::kFlush, Name::kNothing}},
     injected("保存工作台启动器失败"),
     kOld,
     kAbsent,
     kNew},
    {"OldLauncherNotSetAside",
     kOld,
     kAbsent,
     kAbsent,
     {{Mutation::kRename, Name::kLauncher}},
     injected("备份旧工作台启动器失败"),
     kOld,
     kAbsent,
     kNew},
    {"NewLauncherNotMovedInOldOneRestored",
     kOld,
     kAbsent,
     kAbsent,
     {{Mutation::kRename, Name::kPart}},
     injected("更新工作台启动器失败"),
     kOld,
     kAbsent,
     kNew},
    {"NewLauncherNotMovedInNorOldOneRestored",
     kOld,
     kAbsent,
     kAbsent,
     {{Mutation::kRename, Name::kPart}, {Mutation::kRename, Name::kBackup}},
     injected("更新工作台启动器失败") + "；恢复旧启动器也失败：" + kInjected,
     kAbsent,
     kOld,
     kNew},
    {"OldLauncherNotDeleted",
     kOld,
     kAbsent,
     kAbsent,
     {{Mutation::kRemoveFile, Name::kBackup}},
     injected("清理旧启动器备份失败"),
     kNew,
     kOld,
     kAbsent},
    {"FirstLauncherNotMovedIn",
     kAbsent,
     kAbsent,
     kAbsent,
     {{Mutation::kRename, Name::kPart}},
     injected("更新工作台启动器失败"),
     kAbsent,
     kAbsent,
     kNew},
    {"ShortcutNotMarked",
     kOld,
     kAbsent,
     kAbsent,
     {{Mutation::kCreateFile, Name::kShortcut}},
     injected("设置桌面启动入口权限失败"),
     kNew,
     kAbsent,
     kAbsent},
};

void PrintTo(const FaultCase& c, std::ostream* os) {
  *os << c.name;
}

class LauncherFaultTest : public StartupLauncherTest,
                          public testing::WithParamInterface<FaultCase> {
 protected:
  std::string path_of(Name name) const {
    switch (name) {
      case Name::kNothing:
        return "";
      case Name::kRuntimeFolder:
        return layout_.runtime_folder;
      case Name::kLauncher:
        return layout_.launcher;
      case Name::kBackup:
        return layout_.backup;
      case Name::kPart:
        return layout_.part;
      case Name::kShortcut:
        return shortcut_path();
    }
    return "";
  }
};

TEST_P(LauncherFaultTest, LeavesARecoverableState) {
  const FaultCase& c = GetParam();
  make(layout_.launcher, c.launcher);
  make(layout_.backup, c.backup);
  make(layout_.part, c.part);
  test::ScopedMutationRecorder recorder;
  for (const Fault& fault : c.faults) {
    recorder.fail(fault.kind, path_of(fault.name));
  }

  const Result<std::string> launcher = install();

  ASSERT_FALSE(launcher.has_value());
  EXPECT_EQ(launcher.error(), c.message);
  expect(layout_.launcher, c.launcher_after, "launcher");
  expect(layout_.backup, c.backup_after, "backup");
  expect(layout_.part, c.part_after, "part");
}

INSTANTIATE_TEST_SUITE_P(Faults,
                         LauncherFaultTest,
                         testing::ValuesIn(kFaultCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(StartupLauncherTest, HidingFailureEndsTheRun) {
  struct Case {
    std::string failing;
    Entry launcher_after;
  };
  make(layout_.older_launcher, Entry::kOld);
  const Case cases[] = {
      {layout_.runtime_folder, Entry::kAbsent},
      {layout_.older_launcher, Entry::kNew},
  };
  for (const Case& c : cases) {
    shell_.failing_hide_path = c.failing;
    const Result<std::string> launcher = install();
    ASSERT_FALSE(launcher.has_value()) << c.failing;
    EXPECT_EQ(launcher.error(), "隐藏工作台运行组件失败，attrib 退出码：1");
    expect(layout_.launcher, c.launcher_after, c.failing);
    EXPECT_TRUE(shell_.saved.empty()) << c.failing;
  }
}

TEST_F(StartupLauncherTest, ShortcutFailureIsReportedAfterTheLauncherIsInPlace) {
  shell_.save_failure = ShellLinkFailure{ShellLinkStep::kSave, 0x80070005};
  const Result<std::string> launcher = install();
  ASSERT_FALSE(launcher.has_value());
  EXPECT_EQ(launcher.error(), "保存桌面快捷方式失败，错误码 0x80070005。");
  expect(layout_.launcher, Entry::kNew, "launcher");
}

}  // namespace
}  // namespace velmo
