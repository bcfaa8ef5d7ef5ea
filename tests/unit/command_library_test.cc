#include "product_install/command_library.h"

#include <gtest/gtest.h>

#include "platform/file_system.h"
#include "temp_dir.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace velmo {
namespace {

// An install directory with an old command library holding a nested file.
class CommandLibraryTest : public testing::Test {
 protected:
  CommandLibraryTest() {
    EXPECT_TRUE(create_directories(path_join(library_, "tables")));
    test::write_file(path_join(path_join(library_, "tables"), "t1"), "table one");
  }

  test::TempDir dir_{"velmo-library"};
  std::string library_ = dir_.join("engine-db");
  std::string backup_ = dir_.join("engine-db.velmo-installer-backup");
};

TEST_F(CommandLibraryTest, BackupAndRestoreRenameWithinTheDirectory) {
  Result<CommandLibraryBackup> backup = backup_command_library(dir_.path(), true);
  ASSERT_TRUE(backup.has_value()) << backup.error();
  EXPECT_TRUE(backup->active());
  EXPECT_FALSE(path_exists(library_));
  EXPECT_TRUE(path_exists(backup_));
  ASSERT_TRUE(restore_command_library(*backup));
  EXPECT_FALSE(backup->active());
  EXPECT_EQ(test::read_file(path_join(path_join(library_, "tables"), "t1")), "table one");
  EXPECT_FALSE(path_exists(backup_));
}

TEST_F(CommandLibraryTest, DiscardedGuardPutsTheLibraryBack) {
  {
    Result<CommandLibraryBackup> backup = backup_command_library(dir_.path(), true);
    ASSERT_TRUE(backup.has_value());
    EXPECT_FALSE(path_exists(library_));
  }
  EXPECT_TRUE(path_exists(library_));
  EXPECT_FALSE(path_exists(backup_));
}

TEST_F(CommandLibraryTest, FinishingDeletesTheRetiredLibrary) {
  Result<CommandLibraryBackup> backup = backup_command_library(dir_.path(), true);
  ASSERT_TRUE(backup.has_value());
  ASSERT_TRUE(finish_command_library_migration(*backup));
  EXPECT_FALSE(backup->active());
  for (const std::string& name : {library_, backup_}) {
    EXPECT_FALSE(path_exists(name)) << name;
  }
  EXPECT_TRUE(std::filesystem::is_empty(test::fs_path(dir_.path())));
}

TEST_F(CommandLibraryTest, RefusalsLeaveEverythingInPlace) {
  EXPECT_EQ(backup_command_library(dir_.path(), false).error(),
            "安装目录包含非本产品管理的旧命令库，已拒绝移动。");
  ASSERT_TRUE(create_directories(backup_));
  EXPECT_EQ(backup_command_library(dir_.path(), true).error(),
            "检测到未处理的旧命令库备份，已拒绝继续覆盖。");
  EXPECT_TRUE(path_exists(library_));
  EXPECT_TRUE(path_exists(backup_));
}

TEST_F(CommandLibraryTest, NoLibraryMeansNothingToDo) {
  ASSERT_TRUE(remove_directory_tree(library_));
  Result<CommandLibraryBackup> backup = backup_command_library(dir_.path(), false);
  ASSERT_TRUE(backup.has_value());
  EXPECT_FALSE(backup->active());
  EXPECT_TRUE(finish_command_library_migration(*backup));
  EXPECT_TRUE(restore_command_library(*backup));
}

TEST_F(CommandLibraryTest, RestoreNeverOverwritesWhatAppearedUnderTheName) {
  Result<CommandLibraryBackup> backup = backup_command_library(dir_.path(), true);
  ASSERT_TRUE(backup.has_value());
  ASSERT_TRUE(create_directories(library_));
  EXPECT_EQ(restore_command_library(*backup).error(), "恢复旧命令库时发现未知目标，备份已保留。");
  EXPECT_TRUE(backup->active());
  EXPECT_TRUE(path_exists(backup_));
  ASSERT_TRUE(remove_directory_tree(library_));
}

#ifndef _WIN32
TEST_F(CommandLibraryTest, LinkedLibraryIsRefusedAndRetiringNeverFollowsLinksInside) {
  test::TempDir outside("velmo-outside");
  test::write_file(outside.join("keep.txt"), "keep");
  ASSERT_TRUE(remove_directory_tree(library_));
  ASSERT_EQ(::symlink(outside.path().c_str(), library_.c_str()), 0);
  EXPECT_EQ(backup_command_library(dir_.path(), true).error(),
            "旧命令库不是受支持的普通目录，已拒绝移动。");

  ASSERT_TRUE(remove_file(library_));
  ASSERT_TRUE(create_directories(library_));
  ASSERT_EQ(::symlink(outside.path().c_str(), path_join(library_, "link").c_str()), 0);
  Result<CommandLibraryBackup> backup = backup_command_library(dir_.path(), true);
  ASSERT_TRUE(backup.has_value());
  ASSERT_TRUE(finish_command_library_migration(*backup));
  EXPECT_EQ(test::read_file(outside.join("keep.txt")), "keep");
}
#endif

}  // namespace
}  // namespace velmo
