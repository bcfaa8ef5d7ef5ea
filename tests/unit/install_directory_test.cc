#include "product_install/install_directory.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "environment/installation_protection.h"
#include "mutation_recorder.h"
#include "platform/file_system.h"
#include "platform/hard_link_count.h"
#include "platform/object_security.h"
#include "platform/secure_directory.h"
#include "product_files/install_manifest.h"
#include "product_install/main_program_install.h"
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
// or update gives it the protected list. A folder that also holds the
// user's own things is refused and left as it is.
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
    // Read for real once repaired.
    changes.before(Mutation::kSetSecurity, dir, [] { g_loose_path.clear(); });

    const Status prepared = prepare_install_directory(dir);

    if (c.protected_now) {
      ASSERT_TRUE(prepared) << c.name << ": " << prepared.error();
    } else {
      ASSERT_FALSE(prepared.has_value()) << c.name;
      EXPECT_EQ(prepared.error(), kUnprotectableInstallDirMessage) << c.name;
    }
    EXPECT_EQ(changes.paths(Mutation::kSetSecurity),
              c.protected_now ? std::vector<std::string>{dir} : std::vector<std::string>{})
        << c.name;
    for (const std::string& name : c.files) {
      EXPECT_EQ(test::read_file(path_join(dir, name)), "x") << c.name << ": " << name;
    }
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
constexpr uid_t kOtherAccount = 65534;

// Install directories as other accounts could have left them. Each ends
// protected or refused, never trusted as it was: the elevated launch and
// the rating of a current installation both ask is_protected_installation.
TEST(InstallDirectoryStatesTest, EachEndsProtectedOrRefused) {
  struct Case {
    const char* name;
    void (*arrange)(const std::string& dir);
    bool prepared;
  };
  const Case cases[] = {
      {"empty and world-writable",
       [](const std::string& dir) { ASSERT_EQ(::chmod(dir.c_str(), 0777), 0); }, true},
      {"world-writable with the user's own file",
       [](const std::string& dir) {
         test::write_file(path_join(dir, "notes.txt"), "mine");
         ASSERT_EQ(::chmod(dir.c_str(), 0777), 0);
       },
       false},
      {"a current manifest and a program another account wrote",
       [](const std::string& dir) {
         const std::string program = path_join(dir, "VelmoQen工作台.exe");
         const std::string manifest = path_join(dir, "install-manifest.json");
         test::write_file(program, "planted");
         test::write_file(manifest, "{}");
         for (const std::string& path : {dir, program, manifest}) {
           ASSERT_EQ(::chown(path.c_str(), kOtherAccount, kOtherAccount), 0);
         }
         ASSERT_EQ(::chmod(dir.c_str(), 0777), 0);
       },
       true},
      {"world-writable runtime folder",
       [](const std::string& dir) {
         const std::string runtime = path_join(dir, "运行组件");
         ASSERT_TRUE(create_directories(runtime));
         test::write_file(path_join(runtime, "VelmoQen工作台启动器.exe"), "MZ");
         ASSERT_EQ(::chmod(runtime.c_str(), 0777), 0);
       },
       true},
      {"command library owned by another account",
       [](const std::string& dir) {
         const std::string library = path_join(dir, "engine-db");
         ASSERT_TRUE(create_directories(library));
         ASSERT_EQ(::chown(library.c_str(), kOtherAccount, kOtherAccount), 0);
       },
       true},
      {"main program with a second name",
       [](const std::string& dir) {
         const std::string program = path_join(dir, "VelmoQen工作台.exe");
         test::write_file(program, "MZ");
         ASSERT_EQ(::link(program.c_str(), (dir + ".second-name.exe").c_str()), 0);
       },
       true},
  };
  for (const Case& c : cases) {
    test::TempDir root("velmo-install-states");
    const std::string dir = root.join("IDE");
    ASSERT_TRUE(create_directories(dir));
    c.arrange(dir);
    EXPECT_FALSE(is_protected_installation(dir)) << c.name;

    const Status prepared = prepare_install_directory(dir);

    ASSERT_EQ(prepared.has_value(), c.prepared) << c.name;
    if (!prepared) {
      EXPECT_EQ(prepared.error(), kUnprotectableInstallDirMessage) << c.name;
      EXPECT_EQ(test::mode_of(dir), 0777u) << c.name << ": left as it was";
      EXPECT_EQ(test::read_file(path_join(dir, "notes.txt")), "mine") << c.name;
      continue;
    }
    EXPECT_TRUE(is_secure_directory(dir)) << c.name;
    for (const std::string& name : directory_names(dir)) {
      const std::string path = path_join(dir, name);
      if (hard_link_count(path).value_or(1) > 1) {
        // Never repaired through a name that also stands elsewhere.
        EXPECT_FALSE(is_trusted_file(path)) << c.name << ": " << name;
        continue;
      }
      EXPECT_TRUE(is_secure_directory(path) || is_trusted_file(path)) << c.name << ": " << name;
    }
    // What is left runs only once an install put a verified program there:
    // it moves an untrusted program's name away and writes its own.
    const std::string program = path_join(dir, "VelmoQen工作台.exe");
    if (path_exists(program) && !is_trusted_file(program)) {
      ASSERT_TRUE(remove_file(program));
    }
    if (!path_exists(program)) {
      test::write_file(program, "MZ");
      test::write_file(path_join(dir, "install-manifest.json"), "{}");
    }
    EXPECT_TRUE(is_protected_installation(dir)) << c.name;
  }
}

// An installation that was already current gets only the launcher and the
// shortcut; its directory is made ours first all the same, or refused.
TEST(InstallDirectoryStatesTest, LauncherStepOfACurrentInstallationProtectsFirst) {
  struct Case {
    const char* name;
    bool users_file;
  };
  for (const Case c : {Case{"installation only", false}, Case{"with the user's file", true}}) {
    test::TempDir root("velmo-install-states");
    const std::string dir = root.join("IDE");
    ASSERT_TRUE(create_directories(dir));
    const std::string program = path_join(dir, kMainProgramFileName);
    test::write_file(program, "MZ");
    ASSERT_TRUE(
        write_install_manifest(path_join(dir, kInstallManifestFileName), dir, program, "1.0.0"));
    if (c.users_file) {
      test::write_file(path_join(dir, "notes.txt"), "mine");
    }
    const std::string assistant = root.join("assistant.exe");
    test::write_file(assistant, "MZ assistant");
    ASSERT_EQ(::chmod(dir.c_str(), 0777), 0);

    const Status launcher = install_services_with_assistant(launcher_source_at(assistant))
                                .install_startup_launcher(dir);

    if (c.users_file) {
      ASSERT_FALSE(launcher.has_value()) << c.name;
      EXPECT_EQ(launcher.error(), kUnprotectableInstallDirMessage) << c.name;
      EXPECT_FALSE(path_exists(path_join(dir, "运行组件"))) << c.name << ": nothing written";
      EXPECT_EQ(test::mode_of(dir), 0777u) << c.name;
    } else {
      // The desktop may be missing here; the directory was protected before.
      EXPECT_EQ(test::mode_of(dir), 0755u) << c.name;
    }
  }
}

TEST(InstallDirectoryStatesTest, MissingParentsAreCreatedProtected) {
  test::TempDir root("velmo-install-states");
  const std::string top = root.join("Tools");
  const std::string middle = path_join(top, "IDEs");
  const std::string dir = path_join(middle, "VelmoQen工作台");
  ::umask(0);
  const Status prepared = prepare_install_directory(dir);
  ::umask(022);
  ASSERT_TRUE(prepared) << prepared.error();
  for (const std::string& folder : {top, middle, dir}) {
    EXPECT_EQ(test::mode_of(folder), 0755u) << folder;
  }
}

// A folder above that others may change lets them rename it away and build
// the path again, with their own program where ours was.
TEST(InstallDirectoryStatesTest, ReplaceableFolderAboveIsRefused) {
  test::TempDir root("velmo-install-states");
  const std::string parent = root.join("Shared");
  const std::string dir = path_join(parent, "IDE");
  ASSERT_TRUE(create_directories(dir));
  ASSERT_EQ(::chmod(parent.c_str(), 0777), 0);
  const Status refused = prepare_install_directory(dir);
  ASSERT_FALSE(refused.has_value());
  EXPECT_EQ(refused.error(), kUnprotectableInstallDirMessage);
  EXPECT_FALSE(is_protected_installation(dir));

  // With the sticky bit (as /tmp has), only an entry's owner may rename it.
  ASSERT_EQ(::chmod(parent.c_str(), 01777), 0);
  EXPECT_TRUE(prepare_install_directory(dir));
}

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
