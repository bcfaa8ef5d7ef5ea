#include "platform/protected_tree.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "mutation_recorder.h"
#include "platform/file_system.h"
#include "platform/object_security.h"
#include "platform/secure_directory.h"
#include "temp_dir.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace velmo {
namespace {

constexpr char kForeignUser[] = "S-1-5-21-1111111111-2222222222-3333333333-1001";
constexpr char kAuthenticatedUsers[] = "S-1-5-11";

AccessRule grant(std::string sid, uint32_t mask, bool inherit_only = false) {
  return AccessRule{
      .sid = std::move(sid), .allow = true, .mask = mask, .inherit_only = inherit_only};
}

ObjectSecurity owned_by(std::string owner, std::vector<AccessRule> rules) {
  return ObjectSecurity{.owner_sid = std::move(owner), .protected_dacl = true, .rules = rules};
}

const AccessRule kAdministratorsFull = grant(kAdministratorsSid, kFileAllAccess);
const AccessRule kUsersRead = grant(kUsersSid, kFileReadAndExecute);

struct ReplaceCase {
  std::string name;
  ObjectSecurity object;
  std::optional<ObjectSecurity> parent;
  bool replaceable;
};

class ReplaceTest : public testing::TestWithParam<ReplaceCase> {};

TEST_P(ReplaceTest, OnlyRightsOverTheNameCount) {
  const ReplaceCase& c = GetParam();
  EXPECT_EQ(lets_others_replace(c.object, c.parent ? &*c.parent : nullptr, {}), c.replaceable);
}

const ObjectSecurity kProtected = owned_by(kAdministratorsSid, {kAdministratorsFull, kUsersRead});

INSTANTIATE_TEST_SUITE_P(
    Table,
    ReplaceTest,
    testing::Values(
        ReplaceCase{"ProtectedFolderInAProtectedParent", kProtected, kProtected, false},
        ReplaceCase{"DriveRootWithoutParent", kProtected, std::nullopt, false},
        // The root of a second disk: every user may create folders there and
        // owns what they create, but cannot delete or rename other entries.
        ReplaceCase{"UsersMayOnlyCreateInTheParent", kProtected,
                    owned_by(kSystemSid,
                             {kAdministratorsFull, grant(kAuthenticatedUsers, 0x4),
                              grant(kAuthenticatedUsers, 0x1301BF, true),
                              grant(kCreatorOwnerSid, kFileAllAccess, true)}),
                    false},
        ReplaceCase{"UsersMayDeleteEntriesOfTheParent", kProtected,
                    owned_by(kAdministratorsSid, {grant(kUsersSid, 0x40)}), true},
        ReplaceCase{"UsersHaveGenericAllOnTheParent", kProtected,
                    owned_by(kAdministratorsSid, {grant(kUsersSid, 0x10000000)}), true},
        ReplaceCase{"ForeignOwner", owned_by(kForeignUser, {kAdministratorsFull}), kProtected,
                    true},
        ReplaceCase{"OthersMayDeleteIt",
                    owned_by(kAdministratorsSid, {grant(kForeignUser, 0x10000)}), kProtected, true},
        ReplaceCase{"OthersMayChangeItsRules",
                    owned_by(kAdministratorsSid, {grant(kUsersSid, 0x40000)}), kProtected, true},
        // Writing inside is no way to take the name itself.
        ReplaceCase{"OthersMayOnlyAddFilesInside",
                    owned_by(kAdministratorsSid, {grant(kUsersSid, 0x6)}), kProtected, false},
        ReplaceCase{"NoAccessListOnTheParent", kProtected,
                    ObjectSecurity{.owner_sid = kAdministratorsSid, .null_dacl = true}, true}),
    [](const testing::TestParamInfo<ReplaceCase>& info) { return info.param.name; });

// Scripted security for chosen paths; others are read for real.
std::map<std::string, ObjectSecurity> g_scripted;

std::optional<ObjectSecurity> scripted(const std::string& path) {
  const auto found = g_scripted.find(path);
  if (found == g_scripted.end()) {
    return std::nullopt;
  }
  return found->second;
}

class ReplaceableLocationTest : public testing::Test {
 protected:
  ReplaceableLocationTest() {
    g_scripted.clear();
    EXPECT_TRUE(create_directories(dir_));
  }
  ~ReplaceableLocationTest() override { g_scripted.clear(); }

  test::TempDir root_{"velmo-location"};
  std::string parent_ = root_.join("Tools");
  std::string dir_ = path_join(parent_, "IDE");
  ScopedObjectSecurityProbe probe_{scripted};
};

TEST_F(ReplaceableLocationTest, EveryFolderAboveCounts) {
  EXPECT_FALSE(others_can_replace_location(dir_)) << "the test's own folders are safe";
  // A parent whose own parent lets users delete entries: the parent can be
  // renamed away and rebuilt with our directory's name inside.
  g_scripted[root_.path()] = owned_by(kAdministratorsSid, {grant(kUsersSid, 0x40)});
  EXPECT_TRUE(others_can_replace_location(dir_));
  EXPECT_FALSE(others_can_replace(dir_)) << "the directory itself is still safe";
  g_scripted.clear();
  g_scripted[parent_] = owned_by(kForeignUser, {});
  EXPECT_TRUE(others_can_replace_location(dir_));
}

class ProtectTreeTest : public testing::Test {
 protected:
  test::TempDir root_{"velmo-tree"};
  std::string dir_ = root_.join("IDE");
  test::ScopedMutationRecorder changes_;
};

TEST_F(ProtectTreeTest, TrustedTreeIsLeftAsItIs) {
  ASSERT_TRUE(create_directories(path_join(dir_, "运行组件")));
  test::write_file(path_join(path_join(dir_, "运行组件"), "a.exe"), "MZ");
  ASSERT_TRUE(protect_tree(dir_));
  EXPECT_TRUE(changes_.paths(Mutation::kSetSecurity).empty());
  EXPECT_TRUE(changes_.paths(Mutation::kRename).empty());
}

TEST_F(ProtectTreeTest, RepairFailureIsReported) {
  ASSERT_TRUE(create_directories(dir_));
  g_scripted[dir_] = owned_by(kForeignUser, {});
  const ScopedObjectSecurityProbe probe(scripted);
  changes_.fail(Mutation::kSetSecurity, dir_);
  EXPECT_FALSE(protect_tree(dir_).has_value());
  g_scripted.clear();
}

#ifndef _WIN32
// What another account could have left: writable folders and files all the
// way down. The directory is repaired before anything inside is looked at.
TEST_F(ProtectTreeTest, WritableFoldersAndFilesAllTheWayDownAreRepaired) {
  const std::string runtime = path_join(dir_, "运行组件");
  const std::string nested = path_join(runtime, "deep");
  ASSERT_TRUE(create_directories(nested));
  const std::string launcher = path_join(runtime, "launcher.exe");
  const std::string data = path_join(nested, "data.bin");
  test::write_file(launcher, "MZ");
  test::write_file(data, "d");
  ASSERT_EQ(::chmod(launcher.c_str(), 0777), 0);
  ASSERT_EQ(::chmod(data.c_str(), 0666), 0);
  for (const std::string& folder : {dir_, runtime, nested}) {
    ASSERT_EQ(::chmod(folder.c_str(), 0777), 0);
  }

  ASSERT_TRUE(protect_tree(dir_));

  EXPECT_EQ(test::mode_of(dir_), 0755u);
  EXPECT_EQ(test::mode_of(runtime), 0755u);
  EXPECT_EQ(test::mode_of(nested), 0755u);
  EXPECT_EQ(test::mode_of(launcher), 0755u) << "a program stays runnable";
  EXPECT_EQ(test::mode_of(data), 0644u);
  EXPECT_EQ(changes_.paths(Mutation::kSetSecurity).front(), dir_) << "the directory comes first";
  EXPECT_EQ(test::read_file(data), "d");
  EXPECT_TRUE(is_trusted_file(launcher));
}

// A file with a second name is neither repaired nor trusted: its other name
// may be in a folder another account controls, or be a file of the system's.
// A link is left and never followed.
TEST_F(ProtectTreeTest, SecondNamesAndLinksAreLeftUntouched) {
  ASSERT_TRUE(create_directories(dir_));
  const std::string outside = root_.join("outside");
  ASSERT_TRUE(create_directories(outside));
  ASSERT_EQ(::chmod(outside.c_str(), 0777), 0);
  const std::string kept_elsewhere = path_join(outside, "mine.exe");
  test::write_file(kept_elsewhere, "theirs");
  ASSERT_EQ(::chmod(kept_elsewhere.c_str(), 0666), 0);
  const std::string program = path_join(dir_, "VelmoQen工作台.exe");
  ASSERT_EQ(::link(kept_elsewhere.c_str(), program.c_str()), 0);
  ASSERT_EQ(::symlink(outside.c_str(), path_join(dir_, "运行组件").c_str()), 0);

  ASSERT_TRUE(protect_tree(dir_));

  EXPECT_TRUE(changes_.paths(Mutation::kSetSecurity).empty());
  EXPECT_TRUE(changes_.paths(Mutation::kRename).empty());
  EXPECT_EQ(test::mode_of(kept_elsewhere), 0666u) << "the other name's file is untouched";
  EXPECT_FALSE(is_trusted_file(program));
  EXPECT_EQ(test::mode_of(outside), 0777u) << "the link's target is untouched";
  EXPECT_EQ(test::read_file(kept_elsewhere), "theirs");
}
#endif

}  // namespace
}  // namespace velmo
