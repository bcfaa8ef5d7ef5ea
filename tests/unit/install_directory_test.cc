#include "product_install/install_directory.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mutation_recorder.h"
#include "platform/file_system.h"
#include "platform/object_security.h"
#include "platform/secure_directory.h"
#include "temp_dir.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace velmo {
namespace {

std::string g_loose_path;
// The directory as the root of a second disk leaves it: every signed-in
// user may change what is created there.
std::optional<ObjectSecurity> loose(const std::string& path) {
  if (path != g_loose_path) {
    return std::nullopt;
  }
  return ObjectSecurity{.owner_sid = kAdministratorsSid,
                        .rules = {{.sid = "S-1-5-11", .allow = true, .mask = 0x1301BF}}};
}

class InstallDirectoryPrepareTest : public testing::Test {
 protected:
  test::TempDir root_{"velmo-install-dir"};
  std::string dir_ = root_.join("VelmoQen工作台");
  test::ScopedMutationRecorder changes_;
};

TEST_F(InstallDirectoryPrepareTest, NewDirectoryIsCreatedProtectedWithItsParents) {
  dir_ = path_join(root_.join("Tools"), "VelmoQen工作台");
  ASSERT_TRUE(prepare_install_directory(dir_));
  EXPECT_TRUE(is_secure_directory(dir_));
  EXPECT_EQ(changes_.paths(Mutation::kCreateDirectory).back(), dir_);
  EXPECT_TRUE(changes_.paths(Mutation::kSetSecurity).empty());
}

TEST_F(InstallDirectoryPrepareTest, CreationFailureKeepsItsMessage) {
  changes_.fail(Mutation::kCreateDirectory, dir_);
  const Status prepared = prepare_install_directory(dir_);
  ASSERT_FALSE(prepared.has_value());
  EXPECT_EQ(prepared.error(), "创建安装目录失败：injected (os error 5)");
}

// An installation made before its directory was protected: the next install
// or update gives it the protected list.
TEST_F(InstallDirectoryPrepareTest, LooseInstallationIsProtected) {
  struct Case {
    const char* name;
    std::vector<std::string> files;
    bool protected_now;
  };
  const Case cases[] = {
      {"empty", {}, true},
      {"installation",
       {"VelmoQen工作台.exe", "install-manifest.json", "运行组件", "engine-db"},
       true},
      {"leftovers of an update",
       {"VelmoQen工作台.exe.velmo-update-backup", "install-manifest.json.velmo-update-backup",
        "VelmoQen工作台.exe.velmo-install-partial"},
       true},
      {"the user's own files beside it", {"VelmoQen工作台.exe", "notes.txt"}, false},
      {"a name that only starts like ours", {"VelmoQen工作台.exe-old"}, false},
  };
  for (const Case& c : cases) {
    test::TempDir root("velmo-install-dir");
    const std::string dir = root.join("IDE");
    ASSERT_TRUE(create_directories(dir));
    for (const std::string& name : c.files) {
      test::write_file(path_join(dir, name), "x");
    }
    g_loose_path = dir;
    const ScopedObjectSecurityProbe probe(loose);
    test::ScopedMutationRecorder changes;

    ASSERT_TRUE(prepare_install_directory(dir)) << c.name;

    EXPECT_EQ(changes.paths(Mutation::kSetSecurity),
              c.protected_now ? std::vector<std::string>{dir} : std::vector<std::string>{})
        << c.name;
  }
}

TEST_F(InstallDirectoryPrepareTest, RefusedProtectionFailsTheInstall) {
  ASSERT_TRUE(create_directories(dir_));
  g_loose_path = dir_;
  const ScopedObjectSecurityProbe probe(loose);
  changes_.fail(Mutation::kSetSecurity, dir_);
  const Status prepared = prepare_install_directory(dir_);
  ASSERT_FALSE(prepared.has_value());
  EXPECT_EQ(prepared.error(), "检查安装目录失败：injected (os error 5)");
}

TEST_F(InstallDirectoryPrepareTest, TrustedDirectoryIsLeftAsItIs) {
  ASSERT_TRUE(create_directories(dir_));
  ASSERT_TRUE(prepare_install_directory(dir_));
  EXPECT_TRUE(changes_.paths(Mutation::kSetSecurity).empty());
}

#ifndef _WIN32
TEST_F(InstallDirectoryPrepareTest, WorldWritableInstallationGetsOwnerOnlyWrites) {
  ASSERT_TRUE(create_directories(dir_));
  test::write_file(path_join(dir_, "VelmoQen工作台.exe"), "MZ");
  ASSERT_EQ(::chmod(dir_.c_str(), 0777), 0);
  ASSERT_TRUE(prepare_install_directory(dir_));
  struct stat info {};
  ASSERT_EQ(::stat(dir_.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0755u);
  EXPECT_EQ(test::read_file(path_join(dir_, "VelmoQen工作台.exe")), "MZ");
}

TEST_F(InstallDirectoryPrepareTest, LinkInPlaceOfTheDirectoryIsRefused) {
  const std::string target = root_.join("elsewhere");
  ASSERT_TRUE(create_directories(target));
  ASSERT_EQ(::symlink(target.c_str(), dir_.c_str()), 0);
  const Status prepared = prepare_install_directory(dir_);
  ASSERT_FALSE(prepared.has_value());
  EXPECT_EQ(prepared.error(), "安装目录不是受支持的普通目录，已拒绝写入。");
  EXPECT_TRUE(changes_.paths(Mutation::kSetSecurity).empty());
}
#endif

}  // namespace
}  // namespace velmo
