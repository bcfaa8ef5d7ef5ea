#include "environment/install_location.h"

#include <gtest/gtest.h>

#include "environment/data_directory.h"
#include "mutation_recorder.h"
#include "platform/object_security.h"
#include "product_files/install_manifest.h"
#include "release_fixture.h"
#include "temp_dir.h"
#include "test_env.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace velmo {
namespace {

TEST(DataRootTest, FollowsProgramDataUnchangedOrFallsBack) {
  {
    test::ScopedEnv set("ProgramData", "E:\\数据");
    EXPECT_EQ(data_root(), "E:\\数据");
    EXPECT_EQ(data_directory(), path_join("E:\\数据", "VelmoInstaller"));
  }
#ifndef _WIN32
  {
    // An empty value is used as it is, not replaced by the default.
    test::ScopedEnv empty("ProgramData", "");
    EXPECT_EQ(data_root(), "");
  }
#endif
  test::ScopedEnv unset("ProgramData", std::nullopt);
  EXPECT_EQ(data_root(), "C:\\ProgramData");
  EXPECT_EQ(data_directory(), path_join("C:\\ProgramData", "VelmoInstaller"));
}

// A data root of its own and an installation that a record can point at.
std::pair<std::string, ObjectSecurity> g_scripted;
std::optional<ObjectSecurity> scripted(const std::string& path) {
  return path == g_scripted.first ? std::optional(g_scripted.second) : std::nullopt;
}

class InstallLocationTest : public testing::Test {
 protected:
  InstallLocationTest()
      : program_data_("ProgramData", data_.path()), install_dir_(installs_.join("IDE 工作台")) {
    EXPECT_TRUE(create_directories(install_dir_));
  }

  std::string record_path() const {
    return path_join(path_join(data_.path(), "VelmoInstaller"), kInstallLocationFileName);
  }

  void write_record(const std::string& text) {
    ASSERT_TRUE(create_directories(path_join(data_.path(), "VelmoInstaller")));
    test::write_file(record_path(), text);
  }

  void install(const std::string& version) {
    const std::string program = path_join(install_dir_, kMainProgramFileName);
    test::write_file(program, "MZ");
    const std::string manifest = path_join(install_dir_, kInstallManifestFileName);
    if (path_exists(manifest)) {
      ASSERT_TRUE(remove_file(manifest));
    }
    ASSERT_TRUE(write_install_manifest(manifest, install_dir_, program, version));
  }

  static std::string discover_with_fixed_d(bool fixed) {
    return discover_install_location([fixed](const std::string& root) {
      EXPECT_EQ(root, "D:\\");
      return fixed;
    });
  }

  test::TempDir data_{"velmo-data"};
  test::TempDir installs_{"velmo-installs"};
  test::ScopedEnv program_data_;
  test::ScopedReleaseStore releases_;
  std::string install_dir_;
};

TEST_F(InstallLocationTest, RecordedInstallationIsFoundWithWhiteSpaceTrimmed) {
  install("1.0.0");
  for (const std::string& text : {install_dir_, install_dir_ + "\n", install_dir_ + "\r\n",
                                  " \t" + install_dir_ + "\xE3\x80\x80\xC2\xA0\r\n"}) {
    write_record(text);
    EXPECT_EQ(discover_with_fixed_d(true), install_dir_);
  }
}

TEST_F(InstallLocationTest, UnusableRecordGivesTheDefaultByDriveType) {
  struct Case {
    const char* name;
    std::optional<std::string> record;
  };
  const Case cases[] = {
      {"no record", std::nullopt},
      {"directory without manifest", install_dir_ + "\n"},
      {"empty record", ""},
      {"only white space", " \r\n\xE3\x80\x80"},
      {"invalid UTF-8", install_dir_ + "\xFF"},
      {"missing directory", installs_.join("gone")},
  };
  for (const Case& c : cases) {
    if (c.record) {
      write_record(*c.record);
    } else if (path_exists(record_path())) {
      ASSERT_TRUE(remove_file(record_path()));
    }
    EXPECT_EQ(discover_with_fixed_d(true), "D:\\VelmoQen工作台") << c.name;
    EXPECT_EQ(discover_with_fixed_d(false), "C:\\Program Files\\VelmoQen工作台") << c.name;
  }
}

TEST_F(InstallLocationTest, RecordIsLookedForUnderCProgramDataWhenTheVariableIsUnset) {
  install("1.0.0");
  write_record(install_dir_);
  test::ScopedEnv unset("ProgramData", std::nullopt);
  EXPECT_EQ(discover_with_fixed_d(false), "C:\\Program Files\\VelmoQen工作台");
}

TEST_F(InstallLocationTest, RecordingWritesTheExactPathAndReplacesTheOldRecord) {
  write_record("old location");
  ASSERT_TRUE(record_install_location(install_dir_));
  EXPECT_EQ(test::read_file(record_path()), install_dir_);
  EXPECT_FALSE(path_exists(record_path() + ".part"));
  install("1.0.0");
  EXPECT_EQ(discover_with_fixed_d(true), install_dir_);
}

TEST_F(InstallLocationTest, RecordingCreatesTheDataDirectory) {
  ASSERT_FALSE(path_exists(path_join(data_.path(), "VelmoInstaller")));
  ASSERT_TRUE(record_install_location(install_dir_));
  EXPECT_EQ(test::read_file(record_path()), install_dir_);
}

TEST_F(InstallLocationTest, LeftoverTemporaryRecordIsReplaced) {
  write_record("old");
  test::write_file(record_path() + ".part", "interrupted write, much longer than the path");
  ASSERT_TRUE(record_install_location(install_dir_));
  EXPECT_EQ(test::read_file(record_path()), install_dir_);
}

TEST_F(InstallLocationTest, DataDirectoryThatCannotBeMadeFailsWithItsMessage) {
  test::ScopedMutationRecorder changes;
  changes.fail(Mutation::kCreateDirectory, path_join(data_.path(), "VelmoInstaller"));
  const Status recorded = record_install_location(install_dir_);
  ASSERT_FALSE(recorded.has_value());
  EXPECT_EQ(recorded.error(), "创建安装位置记录目录失败：injected (os error 5)");
}

// Whatever holds the data directory's name may have been put there by
// another account: it moves aside, kept, and the record goes into a folder
// of our own.
TEST_F(InstallLocationTest, FileInTheWayOfTheDataDirectoryIsSetAside) {
  test::write_file(path_join(data_.path(), "VelmoInstaller"), "a file in the way");
  ASSERT_TRUE(record_install_location(install_dir_));
  EXPECT_EQ(test::read_file(record_path()), install_dir_);
  int set_aside = 0;
  for (const std::string& name : directory_names(data_.path())) {
    if (name.starts_with("VelmoInstaller.recovery-untrusted-")) {
      EXPECT_EQ(test::read_file(data_.join(name)), "a file in the way");
      ++set_aside;
    }
  }
  EXPECT_EQ(set_aside, 1);
}

// Discovery at start-up only reads: a record is believed only in a data
// directory nobody else can change, and only when an administrator (or we)
// wrote it.
TEST_F(InstallLocationTest, RecordIsIgnoredUnlessDirectoryAndFileAreTrusted) {
  install("1.0.0");
  write_record(install_dir_);
  ASSERT_EQ(discover_with_fixed_d(true), install_dir_);
  const ObjectSecurity foreign{.owner_sid = "S-1-5-21-7-7-7-1001", .protected_dacl = true};
  const ObjectSecurity users_may_write{
      .owner_sid = kAdministratorsSid,
      .rules = {{.sid = kUsersSid, .allow = true, .mask = 0x1301BF}}};
  for (const std::string& path : {path_join(data_.path(), "VelmoInstaller"), record_path()}) {
    for (const ObjectSecurity& found : {foreign, users_may_write}) {
      g_scripted = {path, found};
      const ScopedObjectSecurityProbe probe(scripted);
      EXPECT_EQ(discover_with_fixed_d(true), "D:\\VelmoQen工作台") << path;
    }
  }
}

#ifndef _WIN32
TEST_F(InstallLocationTest, LinkUnderTheTemporaryNameIsRemovedNotWrittenThrough) {
  write_record("old");
  const std::string victim = installs_.join("victim.txt");
  test::write_file(victim, "keep me");
  ASSERT_EQ(::symlink(victim.c_str(), (record_path() + ".part").c_str()), 0);
  ASSERT_TRUE(record_install_location(install_dir_));
  EXPECT_EQ(test::read_file(victim), "keep me");
  EXPECT_EQ(test::read_file(record_path()), install_dir_);
}
#endif

struct StatusCase {
  const char* name;
  std::optional<std::string> installed;  // nothing: no installation
  std::optional<std::string> latest;     // nothing: no release stored yet
  InstalledStatus expected;
};

const StatusCase kStatusCases[] = {
    {"OlderByNumberNotByText", "1.4.0", "1.10.0", InstalledStatus::kOutdated},
    {"Equal", "1.10.0", "1.10.0", InstalledStatus::kCurrent},
    {"Newer", "2.0.0", "1.10.0", InstalledStatus::kCurrent},
    {"InstalledBeforeAnyPolicy", "1.0.0", std::nullopt, InstalledStatus::kOutdated},
    {"NothingInstalledBeforeAnyPolicy", std::nullopt, std::nullopt, InstalledStatus::kNotInstalled},
    {"NothingInstalled", std::nullopt, "1.0.0", InstalledStatus::kNotInstalled},
    {"InvalidInstalledVersion", "1.04.0", "1.0.0", InstalledStatus::kNotInstalled},
    {"InvalidInstalledVersionBeforeAnyPolicy", "1.04.0", std::nullopt,
     InstalledStatus::kNotInstalled},
};

class InstalledStatusTest : public InstallLocationTest,
                            public testing::WithParamInterface<StatusCase> {};

TEST_P(InstalledStatusTest, ComparesTheInstalledVersionWithTheStoredRelease) {
  const StatusCase& c = GetParam();
  if (c.installed) {
    install(*c.installed);
  }
  if (c.latest) {
    releases_.store(*c.latest);
  }
  EXPECT_EQ(installed_status(install_dir_), c.expected);
  EXPECT_EQ(is_installed(install_dir_),
            c.installed.has_value() && *c.installed != std::string("1.04.0"));
}

INSTANTIATE_TEST_SUITE_P(Table,
                         InstalledStatusTest,
                         testing::ValuesIn(kStatusCases),
                         [](const auto& info) { return std::string(info.param.name); });

std::string g_foreign_path;
// The program as another account left it: theirs, and anyone may write it.
std::optional<ObjectSecurity> foreign(const std::string& path) {
  if (path != g_foreign_path) {
    return std::nullopt;
  }
  return ObjectSecurity{.owner_sid = "S-1-5-21-1-2-3-1001",
                        .rules = {{.sid = kEveryoneSid, .allow = true, .mask = kFileAllAccess}}};
}

// A current version is only current where nobody else could have changed
// it: otherwise it is installed again, as an outdated one would be.
TEST_F(InstallLocationTest, CurrentVersionAnotherAccountCouldChangeNeedsAnInstall) {
  install("1.10.0");
  releases_.store("1.10.0");
  ASSERT_EQ(installed_status(install_dir_), InstalledStatus::kCurrent);
  for (const std::string& changed : {install_dir_, path_join(install_dir_, kMainProgramFileName),
                                     path_join(install_dir_, kInstallManifestFileName)}) {
    g_foreign_path = changed;
    const ScopedObjectSecurityProbe probe(foreign);
    EXPECT_EQ(installed_status(install_dir_), InstalledStatus::kOutdated) << changed;
  }
}

}  // namespace
}  // namespace velmo
