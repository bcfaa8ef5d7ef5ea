#include "product_install/interrupted_update_recovery.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>

#include "environment/data_directory.h"
#include "install_fixture.h"
#include "mutation_recorder.h"
#include "platform/mutation_seam.h"
#include "platform/object_security.h"
#include "platform/restart_manager.h"
#include "platform/windows_path.h"
#include "product_files/launcher_layout.h"
#include "product_install/automatic_recovery.h"
#include "product_install/install_source.h"

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace velmo {
namespace {

using test::InstallFixture;
using test::ScopedMutationRecorder;

constexpr char kProgramBackup[] = "VelmoQen工作台.exe.velmo-update-backup";
constexpr char kManifestBackup[] = "install-manifest.json.velmo-update-backup";
constexpr char kPartial[] = "VelmoQen工作台.exe.velmo-install-partial";

RecoveryOutcome recover(const InstallFixture& machine) {
  return recover_interrupted_update(machine.install_dir(), download_directory_path());
}

bool is_recovery_name(const std::string& name) {
  return name.find(".recovery-") != std::string::npos;
}

// Only the installation's own names and recovery names: nothing an update
// refuses to go on beside.
void expect_no_leftover(const InstallFixture& machine, const std::string& context) {
  for (const std::string& name : machine.names()) {
    const bool ours = name == kMainProgramFileName || name == kInstallManifestFileName ||
                      name == InstallFixture::kLauncherDir || name == kCommandLibraryDirName ||
                      is_recovery_name(name);
    EXPECT_TRUE(ours) << context << " left " << name;
  }
  const LauncherLayout launcher = launcher_layout(machine.install_dir());
  EXPECT_FALSE(path_exists(launcher.backup)) << context;
  EXPECT_FALSE(path_exists(launcher.part)) << context;
}

// Every mutation kind the platform layer reports, for "nothing changed".
size_t mutation_count(const ScopedMutationRecorder& recorder) {
  constexpr std::array kinds = {
      Mutation::kCreateDirectory, Mutation::kCreateFile, Mutation::kWrite,
      Mutation::kFlush,           Mutation::kRename,     Mutation::kRemoveFile,
      Mutation::kRemoveDirectory, Mutation::kCopyFile,   Mutation::kSetAttributes};
  size_t count = 0;
  for (const Mutation kind : kinds) {
    count += recorder.paths(kind).size();
  }
  return count;
}

#ifndef _WIN32
// The program under its name is the old or the new one, each with its own
// manifest.
bool old_or_new_with_own_manifest(const InstallFixture& machine) {
  const std::optional<InstallManifest> manifest = read_install_manifest(machine.install_dir());
  if (!manifest) {
    return false;
  }
  const std::string program =
      InstallFixture::read_file_or_empty(machine.in_dir(kMainProgramFileName));
  if (program == InstallFixture::kOldProgram) {
    return manifest->version == "1.0.0" && machine.old_installation_intact();
  }
  return program == InstallFixture::kNewProgram && manifest->version == "1.10.0";
}

// An update stopped dead before its change k, for every k, as the crash
// test of the install does it; then the recovery, then the same update once
// more.
int g_changes = 0;
int g_stop_countdown = -1;
std::optional<OsError> count_or_stop(Mutation, const std::string&) {
  ++g_changes;
  if (g_stop_countdown >= 0 && g_stop_countdown-- == 0) {
    ::_exit(42);
  }
  return std::nullopt;
}

Status apply_under_stop(InstallFixture& machine) {
  const ScopedMutationHook hook(count_or_stop);
  return machine.apply();
}

TEST(InterruptedUpdateRecoveryTest, EveryStopOfAnUpdateIsRecoveredAndTheNextUpdateSucceeds) {
  int total = 0;
  {
    InstallFixture counting;
    counting.make_old_installation();
    g_changes = 0;
    g_stop_countdown = -1;
    ASSERT_TRUE(apply_under_stop(counting));
    total = g_changes;
  }
  ASSERT_GT(total, 10);
  int rolled_back = 0;
  int kept_new = 0;
  for (int k = 0; k <= total; ++k) {
    const std::string context = "stop " + std::to_string(k);
    InstallFixture machine;
    machine.make_old_installation();
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      g_stop_countdown = k;
      ::_exit(apply_under_stop(machine) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), k == total ? 0 : 42) << context;

    const RecoveryOutcome outcome = recover(machine);
    ASSERT_TRUE(outcome.status.has_value()) << context << ": " << outcome.status.error();
    EXPECT_TRUE(old_or_new_with_own_manifest(machine)) << context;
    const std::optional<InstallManifest> manifest = read_install_manifest(machine.install_dir());
    ASSERT_TRUE(manifest.has_value()) << context;
    EXPECT_EQ(manifest->version, outcome.version) << context;
    expect_no_leftover(machine, context);
    const bool is_new = InstallFixture::read_file_or_empty(machine.in_dir(kMainProgramFileName)) ==
                        InstallFixture::kNewProgram;
    ++(is_new ? kept_new : rolled_back);

    const Status next = machine.apply();
    EXPECT_TRUE(next.has_value()) << context << ", next update: " << next.error();
    EXPECT_TRUE(machine.new_installation_complete()) << context;
  }
  // Both ways out were taken: stops before the commit go back, stops after
  // it keep the new program.
  EXPECT_GT(rolled_back, 0);
  EXPECT_GT(kept_new, 0);
}
#endif

// A recognised installation without leftovers, before and after an update,
// beside a file that is not the update's: nothing at all is changed.
TEST(InterruptedUpdateRecoveryTest, HealthyInstallationIsNotTouched) {
  for (const bool updated : {false, true}) {
    InstallFixture machine;
    machine.make_old_installation();
    if (updated) {
      ASSERT_TRUE(machine.apply());
    }
    test::write_file(machine.in_dir("notes.txt"), "the user's own");
    const std::vector<std::string> before = machine.names();
    const ScopedMutationRecorder recorder;
    const RecoveryOutcome outcome = recover(machine);
    ASSERT_TRUE(outcome.status.has_value()) << outcome.status.error();
    EXPECT_TRUE(outcome.actions.empty());
    EXPECT_EQ(outcome.version, updated ? "1.10.0" : "1.0.0");
    EXPECT_EQ(mutation_count(recorder), 0u) << "updated " << updated;
    EXPECT_EQ(machine.names(), before);
  }
}

// Names of the update holding something else than the update left there:
// a program and manifest of nobody's, and a partial copy. They are moved to
// recovery names with their bytes, the old pair comes back, and a file of
// another name is left alone.
TEST(InterruptedUpdateRecoveryTest, UnknownFilesAreSetAsideNotDeleted) {
  InstallFixture machine;
  machine.make_old_installation();
  ASSERT_TRUE(rename_path(machine.in_dir(kMainProgramFileName), machine.in_dir(kProgramBackup)));
  ASSERT_TRUE(
      rename_path(machine.in_dir(kInstallManifestFileName), machine.in_dir(kManifestBackup)));
  const std::vector<std::pair<std::string, std::string>> unknown = {
      {kMainProgramFileName, "MZ some program"},
      {kInstallManifestFileName, "{\"not\": \"ours\"}"},
      {kPartial, "MZ half a cop"},
  };
  for (const auto& [name, content] : unknown) {
    test::write_file(machine.in_dir(name), content);
  }
  test::write_file(machine.in_dir("notes.txt"), "the user's own");

  const RecoveryOutcome outcome = recover(machine);
  ASSERT_TRUE(outcome.status.has_value()) << outcome.status.error();
  EXPECT_TRUE(machine.old_installation_intact());
  for (const auto& [name, content] : unknown) {
    const auto set_aside =
        std::find_if(outcome.actions.begin(), outcome.actions.end(), [&](const RecoveryAction& a) {
          return a.kind == RecoveryAction::Kind::kSetAside && a.from == machine.in_dir(name);
        });
    ASSERT_NE(set_aside, outcome.actions.end()) << name;
    EXPECT_EQ(test::read_file(set_aside->to), content) << name;
    EXPECT_EQ(*parent_path(set_aside->to), machine.install_dir()) << name;
  }
  EXPECT_EQ(test::read_file(machine.in_dir("notes.txt")), "the user's own");
  ASSERT_TRUE(remove_file(machine.in_dir("notes.txt")));
  expect_no_leftover(machine, "unknown files");
  EXPECT_TRUE(machine.apply());
}

// A program under its name with the manifest backup beside it and no
// program backup: a restore stopped between its two renames (program old,
// manifest new) or a commit stopped between its two (both new). The
// verified cache copy of the manifest's version tells them apart; without
// it nothing is changed.
TEST(InterruptedUpdateRecoveryTest, ManifestBackupAloneIsPairedByTheVerifiedCopy) {
  struct Case {
    const char* name;
    const char* program;
    bool cache_kept;
    const char* version;  // nullptr: refused
  };
  const Case cases[] = {
      {"restore stopped", InstallFixture::kOldProgram, true, "1.0.0"},
      {"commit stopped", InstallFixture::kNewProgram, true, "1.10.0"},
      {"no verified copy", InstallFixture::kOldProgram, false, nullptr},
  };
  for (const Case& c : cases) {
    InstallFixture machine;
    machine.make_old_installation();
    const std::string old_manifest = test::read_file(machine.in_dir(kInstallManifestFileName));
    ASSERT_TRUE(machine.apply());
    test::write_file(machine.in_dir(kManifestBackup), old_manifest);
    ASSERT_TRUE(remove_file(machine.in_dir(kMainProgramFileName)));
    test::write_file(machine.in_dir(kMainProgramFileName), c.program);
    if (!c.cache_kept) {
      const std::string cache = main_program_cache_path(download_directory_path(), "1.10.0");
      ASSERT_TRUE(remove_file(cache)) << c.name;
    }
    const std::vector<std::string> before = machine.names();

    const RecoveryOutcome outcome = recover(machine);
    if (c.version == nullptr) {
      EXPECT_FALSE(outcome.status.has_value()) << c.name;
      EXPECT_TRUE(outcome.actions.empty()) << c.name;
      EXPECT_EQ(machine.names(), before) << c.name;
      continue;
    }
    ASSERT_TRUE(outcome.status.has_value()) << c.name << ": " << outcome.status.error();
    EXPECT_EQ(outcome.version, c.version) << c.name;
    EXPECT_EQ(InstallFixture::read_file_or_empty(machine.in_dir(kMainProgramFileName)), c.program)
        << c.name;
    expect_no_leftover(machine, c.name);
    EXPECT_TRUE(machine.apply()) << c.name;
    EXPECT_TRUE(machine.new_installation_complete()) << c.name;
  }
}

#ifndef _WIN32
// A symbolic link (what a name-surrogate reparse point is on Windows) in
// place of a backup: never followed, never moved into the program's or the
// manifest's place, its target untouched. Beside a recognised installation
// the link itself is set aside; without one nothing can be proven and
// nothing is changed.
TEST(InterruptedUpdateRecoveryTest, LinksAtBackupNamesAreNeverFollowed) {
  struct Case {
    const char* name;
    const char* link;
    bool installation_in_place;
  };
  const Case cases[] = {
      {"program backup, no installation", kProgramBackup, false},
      {"manifest backup, no installation", kManifestBackup, false},
      {"program backup beside the installation", kProgramBackup, true},
      {"manifest backup beside the installation", kManifestBackup, true},
  };
  for (const Case& c : cases) {
    InstallFixture machine;
    machine.make_old_installation();
    test::TempDir elsewhere("velmo-target");
    const std::string target = elsewhere.join("target");
    // The target of the manifest link is a manifest that would be accepted
    // under the backup name; the program link's is a program.
    const bool manifest_link = std::string(c.link) == kManifestBackup;
    const std::string content =
        manifest_link ? test::read_file(machine.in_dir(kInstallManifestFileName)) : "MZ not ours";
    test::write_file(target, content);
    if (!c.installation_in_place) {
      ASSERT_TRUE(
          rename_path(machine.in_dir(kMainProgramFileName), machine.in_dir(kProgramBackup)));
      ASSERT_TRUE(
          rename_path(machine.in_dir(kInstallManifestFileName), machine.in_dir(kManifestBackup)));
      ASSERT_TRUE(remove_file(machine.in_dir(c.link)));
    }
    ASSERT_EQ(::symlink(target.c_str(), machine.in_dir(c.link).c_str()), 0) << c.name;
    const std::vector<std::string> before = machine.names();

    const RecoveryOutcome outcome = recover(machine);
    EXPECT_EQ(test::read_file(target), content) << c.name;
    if (!c.installation_in_place) {
      EXPECT_FALSE(outcome.status.has_value()) << c.name;
      EXPECT_TRUE(outcome.actions.empty()) << c.name;
      EXPECT_EQ(machine.names(), before) << c.name;
      continue;
    }
    ASSERT_TRUE(outcome.status.has_value()) << c.name << ": " << outcome.status.error();
    EXPECT_TRUE(machine.old_installation_intact()) << c.name;
    ASSERT_EQ(outcome.actions.size(), 1u) << c.name;
    const RecoveryAction& moved = outcome.actions.front();
    EXPECT_EQ(moved.kind, RecoveryAction::Kind::kSetAside) << c.name;
    EXPECT_TRUE(std::filesystem::is_symlink(test::fs_path(moved.to))) << c.name;
    EXPECT_TRUE(machine.apply()) << c.name;
  }
}
#endif

// Who holds a file, for the assistant's own recovery: one process for
// `held`, nobody for anything else.
class OneHolderRestartManager final : public RestartManager {
 public:
  explicit OneHolderRestartManager(std::string held) : held_(std::move(held)) {}

  uint32_t start_session(uint32_t& session) override {
    session = 1;
    registered_.clear();
    return 0;
  }
  uint32_t register_file(uint32_t, const std::string& path) override {
    registered_ = path;
    return 0;
  }
  uint32_t get_list(uint32_t,
                    uint32_t capacity,
                    uint32_t& needed,
                    uint32_t& returned,
                    std::vector<uint32_t>& process_ids) override {
    const bool holding = registered_ == held_;
    needed = holding ? 1 : 0;
    if (holding && capacity == 0) {
      returned = 0;
      return 234;  // more data: ask again with room
    }
    returned = holding ? 1 : 0;
    process_ids.assign(capacity, 0);
    if (holding) {
      process_ids[0] = 77;
    }
    return 0;
  }
  void end_session(uint32_t) override {}

 private:
  std::string held_;
  std::string registered_;
};

std::string g_unprotected_dir;
std::optional<ObjectSecurity> unprotected(const std::string& path) {
  if (path != g_unprotected_dir) {
    return std::nullopt;
  }
  return ObjectSecurity{.owner_sid = kAdministratorsSid,
                        .rules = {{.sid = kUsersSid, .allow = true, .mask = kFileAllAccess}}};
}

// The assistant runs the recovery by itself, before it rates or launches
// the installation: only where nobody but administrators could have placed
// the leftovers, and never under a running workbench.
TEST(AutomaticRecoveryTest, RecoversOnlyAProtectedIdleInstallation) {
  struct Case {
    const char* name;
    bool protected_dir;
    bool backup_in_use;
    bool recovered;
  };
  const Case cases[] = {
      {"protected and idle", true, false, true},
      {"another account could change the directory", false, false, false},
      {"the program runs from its backup name", true, true, false},
  };
  for (const Case& c : cases) {
    InstallFixture machine;
    machine.make_old_installation();
    ASSERT_TRUE(rename_path(machine.in_dir(kMainProgramFileName), machine.in_dir(kProgramBackup)));
    ASSERT_TRUE(
        rename_path(machine.in_dir(kInstallManifestFileName), machine.in_dir(kManifestBackup)));
    const std::vector<std::string> before = machine.names();
    g_unprotected_dir = c.protected_dir ? "" : machine.install_dir();
    const ScopedObjectSecurityProbe probe(unprotected);
    OneHolderRestartManager rm(c.backup_in_use ? machine.in_dir(kProgramBackup) : "");

    const std::optional<RecoveryOutcome> outcome = recover_before_use(machine.install_dir(), rm);

    ASSERT_EQ(outcome.has_value(), c.recovered) << c.name;
    if (c.recovered) {
      ASSERT_TRUE(outcome->status.has_value()) << c.name << ": " << outcome->status.error();
      EXPECT_TRUE(machine.old_installation_intact()) << c.name;
      expect_no_leftover(machine, c.name);
    } else {
      EXPECT_EQ(machine.names(), before) << c.name << ": nothing moved";
    }
  }
  g_unprotected_dir.clear();
}

}  // namespace
}  // namespace velmo
