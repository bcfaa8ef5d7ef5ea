#include "platform/secure_directory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "mutation_recorder.h"
#include "platform/file_system.h"
#include "platform/object_security.h"
#include "temp_dir.h"

#ifdef _WIN32
#include "platform/win/reparse_tag_seam.h"
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace velmo {
namespace {

constexpr char kForeignUser[] = "S-1-5-21-1111111111-2222222222-3333333333-1001";
constexpr char kAuthenticatedUsers[] = "S-1-5-11";
// The one user Wine owns everything by, the platform's administrator
// equivalent there; on Windows the list is empty.
constexpr char kWineUser[] = "S-1-5-21-1-2-3-1000";
const AdminEquivalentSids kAdminEquivalents = {kWineUser};

// Who owns the object and what the rules grant, in a few words per case.
struct TrustCase {
  std::string name;
  ObjectSecurity security;
  bool trusted;
};

ObjectSecurity owned_by(std::string owner, std::vector<AccessRule> rules) {
  return ObjectSecurity{.owner_sid = std::move(owner), .protected_dacl = true, .rules = rules};
}

AccessRule grant(std::string sid, uint32_t mask, bool inherit_only = false) {
  return AccessRule{
      .sid = std::move(sid), .allow = true, .mask = mask, .inherit_only = inherit_only};
}

AccessRule deny(std::string sid, uint32_t mask) {
  return AccessRule{.sid = std::move(sid), .allow = false, .mask = mask};
}

class TrustTest : public testing::TestWithParam<TrustCase> {};

TEST_P(TrustTest, OnlyTrustedOwnersAndNoWritersBesideThem) {
  EXPECT_EQ(is_trusted_security(GetParam().security, kAdminEquivalents), GetParam().trusted);
}

const AccessRule kSystemFull = grant(kSystemSid, kFileAllAccess);
const AccessRule kAdministratorsFull = grant(kAdministratorsSid, kFileAllAccess);
const AccessRule kUsersRead = grant(kUsersSid, kFileReadAndExecute);

INSTANTIATE_TEST_SUITE_P(
    Table,
    TrustTest,
    testing::Values(
        TrustCase{"OurOwnProtectedFolder",
                  owned_by(kAdministratorsSid, {kSystemFull, kAdministratorsFull, kUsersRead}),
                  true},
        TrustCase{"OwnedBySystem", owned_by(kSystemSid, {kSystemFull}), true},
        TrustCase{"OwnedByAnAdministratorEquivalent", owned_by(kWineUser, {kSystemFull}), true},
        // Its unelevated processes could rewrite the rules of what it owns.
        TrustCase{"OwnedByTheInstallingAdministratorsAccount",
                  owned_by("S-1-5-21-1-2-3-500", {kSystemFull}), false},
        TrustCase{"TheInstallingAdministratorsAccountMayWrite",
                  owned_by(kAdministratorsSid, {grant("S-1-5-21-1-2-3-500", 0x2)}), false},
        TrustCase{"OwnedByTheInstallerService", owned_by(kTrustedInstallerSid, {kUsersRead}), true},
        TrustCase{"OwnedByAnotherAccount", owned_by(kForeignUser, {kSystemFull}), false},
        TrustCase{"NoOwnerRead", owned_by("", {kSystemFull}), false},
        TrustCase{"UsersMayCreateFiles",
                  owned_by(kAdministratorsSid, {kSystemFull, grant(kUsersSid, 0x2)}), false},
        TrustCase{"UsersMayCreateFoldersInChildren",
                  owned_by(kAdministratorsSid, {grant(kUsersSid, 0x4, true)}), false},
        TrustCase{"AuthenticatedUsersMayModify",
                  owned_by(kAdministratorsSid, {grant(kAuthenticatedUsers, 0x1301BF)}), false},
        TrustCase{"EveryoneGenericWrite",
                  owned_by(kAdministratorsSid, {grant(kEveryoneSid, 0x40000000)}), false},
        TrustCase{"AnotherAccountMayChangeTheRules",
                  owned_by(kAdministratorsSid, {grant(kForeignUser, 0x40000)}), false},
        TrustCase{"AnotherAccountMayDelete",
                  owned_by(kAdministratorsSid, {grant(kForeignUser, 0x10000)}), false},
        TrustCase{"EveryoneMayReadOnly",
                  owned_by(kAdministratorsSid, {kSystemFull, grant(kEveryoneSid, 0x1200A9)}), true},
        TrustCase{"DeniedWritesAreNoGrant",
                  owned_by(kAdministratorsSid, {deny(kEveryoneSid, kFileAllAccess)}), true},
        TrustCase{"CreatorOwnerForChildrenOnly",
                  owned_by(kAdministratorsSid, {grant(kCreatorOwnerSid, kFileAllAccess, true)}),
                  true},
        TrustCase{"CreatorOwnerOnTheFolderItself",
                  owned_by(kAdministratorsSid, {grant(kCreatorOwnerSid, kFileAllAccess)}), false},
        TrustCase{"EntryOfAnUnknownKind", owned_by(kAdministratorsSid, {grant("?", 0xFFFFFFFF)}),
                  false},
        TrustCase{"NoAccessListAtAll",
                  ObjectSecurity{.owner_sid = kAdministratorsSid, .null_dacl = true}, false}),
    [](const testing::TestParamInfo<TrustCase>& info) { return info.param.name; });

TEST(ProtectedSecurityTest, AdministratorsAndSystemChangeUsersOnlyReadNothingInherited) {
  const ObjectSecurity security = protected_directory_security();
  EXPECT_TRUE(security.protected_dacl);
  EXPECT_FALSE(security.null_dacl);
  EXPECT_EQ(security.rules,
            (std::vector<AccessRule>{kSystemFull, kAdministratorsFull, kUsersRead}));
  EXPECT_TRUE(is_trusted_security(
      ObjectSecurity{
          .owner_sid = kAdministratorsSid, .protected_dacl = true, .rules = security.rules},
      kAdminEquivalents));
  // The form the Windows backend applies says the same: protected ("P"),
  // each entry for the folder and what is created in it ("OICI").
  EXPECT_STREQ(kProtectedDirectorySddl,
               "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)");
}

// Scripted answers of the security reader for one path. The reader is a
// plain function pointer, so the script lives in a global the test sets.
struct ScriptedSecurity {
  std::string path;
  std::optional<ObjectSecurity> answer;
  // Read for real once the object's security was replaced.
  bool until_repaired = false;
  bool repaired = false;
};
ScriptedSecurity g_script;

std::optional<ObjectSecurity> scripted_security(const std::string& path) {
  if (path != g_script.path || (g_script.until_repaired && g_script.repaired)) {
    return std::nullopt;
  }
  return g_script.answer;
}

const ObjectSecurity kForeignOwned = owned_by(kForeignUser, {kSystemFull});
const ObjectSecurity kUsersMayWrite =
    owned_by(kAdministratorsSid, {kSystemFull, grant(kUsersSid, 0x1301BF)});

class SecureDirectoryTest : public testing::Test {
 protected:
  SecureDirectoryTest() : folder_(root_.join("VelmoInstaller")) {}

  // A folder with a file in it, as an earlier run or another account left it.
  void make_folder_with_file() {
    ASSERT_TRUE(create_directories(folder_));
    test::write_file(path_join(folder_, "install-location.txt"), "D:\\mine");
  }

  void script(std::optional<ObjectSecurity> answer, bool until_repaired) {
    g_script = {.path = folder_, .answer = std::move(answer), .until_repaired = until_repaired};
  }

  // The names under the root that hold set-aside folders.
  std::vector<std::string> set_aside() const {
    std::vector<std::string> names;
    for (const std::string& name : directory_names(root_.path())) {
      if (name.starts_with("VelmoInstaller.recovery-untrusted-")) {
        names.push_back(name);
      }
    }
    return names;
  }

  test::TempDir root_{"velmo-secure"};
  std::string folder_;
  test::ScopedMutationRecorder changes_;
  ScopedObjectSecurityProbe probe_{scripted_security};
};

TEST_F(SecureDirectoryTest, MissingFolderIsCreatedProtected) {
  ASSERT_TRUE(secure_directory(folder_));
  EXPECT_TRUE(is_secure_directory(folder_));
  EXPECT_EQ(changes_.paths(Mutation::kCreateDirectory), std::vector<std::string>{folder_});
}

TEST_F(SecureDirectoryTest, TrustedFolderIsLeftAsItIs) {
  ASSERT_TRUE(secure_directory(folder_));
  make_folder_with_file();
  const test::ScopedMutationRecorder untouched;
  ASSERT_TRUE(secure_directory(folder_));
  EXPECT_TRUE(untouched.paths(Mutation::kSetSecurity).empty());
  EXPECT_TRUE(untouched.paths(Mutation::kRename).empty());
  EXPECT_TRUE(untouched.paths(Mutation::kCreateDirectory).empty());
}

// A folder someone else could change is repaired in place when the repair
// takes; its files stay (each is still judged on its own before use).
TEST_F(SecureDirectoryTest, ForeignOwnerOrWritableEntryIsRepairedInPlace) {
  for (const ObjectSecurity& found : {kForeignOwned, kUsersMayWrite}) {
    make_folder_with_file();
    script(found, /*until_repaired=*/true);
    changes_.before(Mutation::kSetSecurity, folder_, [] { g_script.repaired = true; });
    EXPECT_FALSE(is_secure_directory(folder_));

    ASSERT_TRUE(secure_directory(folder_));

    EXPECT_EQ(changes_.paths(Mutation::kSetSecurity).back(), folder_);
    EXPECT_TRUE(is_secure_directory(folder_));
    EXPECT_EQ(test::read_file(path_join(folder_, "install-location.txt")), "D:\\mine");
    EXPECT_TRUE(set_aside().empty());
  }
}

// When the repair does not take (the owner denied us, or the system keeps
// reporting another owner), the folder moves aside whole and a new one is
// made: nothing planted in it is ever read again, nothing is deleted.
TEST_F(SecureDirectoryTest, UnrepairableFolderIsSetAsideWithItsFilesAndRecreated) {
  struct Case {
    const char* name;
    bool repair_fails;
  };
  for (const Case& c : {Case{"repair refused", true}, Case{"repair without effect", false}}) {
    test::TempDir root("velmo-secure");
    folder_ = root.join("VelmoInstaller");
    make_folder_with_file();
    script(kForeignOwned, /*until_repaired=*/false);
    test::ScopedMutationRecorder changes;
    if (c.repair_fails) {
      changes.fail(Mutation::kSetSecurity, folder_);
    }
    // What is made after the move is read for real.
    changes.before(Mutation::kRename, folder_, [] { g_script = {}; });

    ASSERT_TRUE(secure_directory(folder_)) << c.name;

    const std::vector<std::string> renamed = changes.paths(Mutation::kRename);
    ASSERT_EQ(renamed, std::vector<std::string>{folder_}) << c.name;
    std::vector<std::string> aside;
    for (const std::string& name : directory_names(root.path())) {
      if (name.starts_with("VelmoInstaller.recovery-untrusted-")) {
        aside.push_back(name);
      }
    }
    ASSERT_EQ(aside.size(), 1u) << c.name;
    EXPECT_EQ(test::read_file(path_join(root.join(aside[0]), "install-location.txt")), "D:\\mine");
    EXPECT_TRUE(directory_names(folder_).empty()) << c.name;
    EXPECT_TRUE(is_secure_directory(folder_)) << c.name;
  }
}

TEST_F(SecureDirectoryTest, NoTrustworthyFolderFailsAndLeavesEverythingInPlace) {
  make_folder_with_file();
  script(kForeignOwned, /*until_repaired=*/false);
  changes_.fail(Mutation::kSetSecurity, folder_);
  changes_.fail(Mutation::kRename, folder_);

  EXPECT_FALSE(secure_directory(folder_).has_value());

  EXPECT_EQ(test::read_file(path_join(folder_, "install-location.txt")), "D:\\mine");
  EXPECT_TRUE(set_aside().empty());
}

TEST_F(SecureDirectoryTest, FileUnderTheFolderNameIsSetAside) {
  test::write_file(folder_, "not a folder");
  ASSERT_TRUE(secure_directory(folder_));
  EXPECT_TRUE(is_secure_directory(folder_));
  ASSERT_EQ(set_aside().size(), 1u);
  EXPECT_EQ(test::read_file(root_.join(set_aside()[0])), "not a folder");
}

#ifdef _WIN32
std::string g_linked_path;
std::optional<uint32_t> linked(const std::string& path) {
  // IO_REPARSE_TAG_MOUNT_POINT: a junction.
  return path == g_linked_path ? std::optional<uint32_t>(0xA0000003) : std::nullopt;
}

// Wine cannot make a junction: the folder is reported as one. The link is
// renamed, never entered.
TEST_F(SecureDirectoryTest, JunctionUnderTheFolderNameIsSetAsideNotFollowed) {
  make_folder_with_file();
  g_linked_path = folder_;
  const ScopedReparseTagProbe junction(linked);
  EXPECT_FALSE(is_secure_directory(folder_));
  changes_.before(Mutation::kRename, folder_, [] { g_linked_path.clear(); });

  ASSERT_TRUE(secure_directory(folder_));

  EXPECT_TRUE(changes_.paths(Mutation::kSetSecurity).empty());
  ASSERT_EQ(set_aside().size(), 1u);
  EXPECT_TRUE(directory_names(folder_).empty());
}
#else
TEST_F(SecureDirectoryTest, LinkUnderTheFolderNameIsSetAsideAndItsTargetUntouched) {
  const std::string target = root_.join("attacker");
  ASSERT_TRUE(create_directories(target));
  test::write_file(path_join(target, "install-location.txt"), "D:\\attacker");
  ASSERT_EQ(::chmod(target.c_str(), 0777), 0);
  ASSERT_EQ(::symlink(target.c_str(), folder_.c_str()), 0);
  EXPECT_FALSE(is_secure_directory(folder_));

  ASSERT_TRUE(secure_directory(folder_));

  EXPECT_TRUE(changes_.paths(Mutation::kSetSecurity).empty());
  EXPECT_TRUE(is_secure_directory(folder_));
  EXPECT_TRUE(directory_names(folder_).empty());
  struct stat info {};
  ASSERT_EQ(::stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0777u) << "the link's target was changed";
  ASSERT_EQ(set_aside().size(), 1u);
  EXPECT_EQ(test::read_file(path_join(root_.join(set_aside()[0]), "install-location.txt")),
            "D:\\attacker");
}

// The real thing on POSIX: a folder others may write (mode 0777) is
// repaired through its own descriptor to 0755, its files kept.
TEST_F(SecureDirectoryTest, WorldWritableFolderIsRepairedToOwnerOnlyWrites) {
  make_folder_with_file();
  ASSERT_EQ(::chmod(folder_.c_str(), 0777), 0);
  EXPECT_FALSE(is_secure_directory(folder_));

  ASSERT_TRUE(secure_directory(folder_));

  struct stat info {};
  ASSERT_EQ(::stat(folder_.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0755u);
  EXPECT_EQ(info.st_uid, ::geteuid());
  EXPECT_EQ(test::read_file(path_join(folder_, "install-location.txt")), "D:\\mine");
}
#endif

TEST_F(SecureDirectoryTest, FilesAreTrustedOnlyWithATrustedOwnerAndNoOtherWriter) {
  ASSERT_TRUE(secure_directory(folder_));
  const std::string file = path_join(folder_, "pkg.package");
  test::write_file(file, "content");
  EXPECT_TRUE(is_trusted_file(file));
  EXPECT_FALSE(is_trusted_file(folder_)) << "a folder is no file";
  EXPECT_FALSE(is_trusted_file(path_join(folder_, "missing")));
  for (const ObjectSecurity& found : {kForeignOwned, kUsersMayWrite}) {
    g_script = {.path = file, .answer = found};
    EXPECT_FALSE(is_trusted_file(file));
  }
  g_script = {};
}

TEST_F(SecureDirectoryTest, FileWithASecondNameIsNotTrusted) {
  ASSERT_TRUE(secure_directory(folder_));
  const std::string file = path_join(folder_, "pkg.package");
  test::write_file(file, "content");
  ASSERT_TRUE(is_trusted_file(file));
  const std::string second_name = root_.join("kept-name");
  ASSERT_TRUE(test::make_hard_link(file, second_name));
  EXPECT_FALSE(is_trusted_file(file));
  ASSERT_TRUE(remove_file(second_name));
  EXPECT_TRUE(is_trusted_file(file)) << "one name again";
}

}  // namespace
}  // namespace velmo
