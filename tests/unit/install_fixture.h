#ifndef VELMO_TESTS_UNIT_INSTALL_FIXTURE_H_
#define VELMO_TESTS_UNIT_INSTALL_FIXTURE_H_

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "bundle_builder.h"
#include "fake_launcher_platform.h"
#include "product_files/install_manifest.h"
#include "product_install/command_library.h"
#include "product_install/main_program_install.h"
#include "product_install/startup_launcher.h"
#include "release_fixture.h"
#include "temp_dir.h"
#include "test_env.h"

namespace velmo::test {

inline std::string text_of(const Bytes& bytes) {
  return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// A machine for installing: its own data root, a downloaded release 1.10.0
// whose bundle carries the new program, and an install directory that is
// empty or holds version 1.0.0 with an old command library.
class InstallFixture {
 public:
  static constexpr char kOldProgram[] = "MZ old workbench 1.0.0";
  static constexpr char kNewProgram[] = "MZ new workbench 1.10.0, a little longer";
  static constexpr char kLauncherDir[] = "运行组件";

  InstallFixture()
      : program_data_("ProgramData", root_.join("data")), shell_(root_.join("Desktop")) {
    EXPECT_TRUE(create_directories(root_.join("Desktop")));
    assistant_ = root_.join("velmo-assistant.exe");
    write_file(assistant_, "MZ the assistant, copied as the startup launcher");
    BundleRecipe recipe;
    recipe.main_program = bytes_of(kNewProgram);
    const BuiltBundle built = build_bundle(recipe);
    installer_ = root_.join("VelmoQenWorkbench-Update-v1.10.0.package");
    write_file(installer_, text_of(built.file));
    releases_.store("1.10.0", built.file.size());
    VerifiedRelease release = load_release().value();
    release.sha256 = sha256_hex(built.file);
    EXPECT_TRUE(store_release(release));
    install_dir_ = path_join(root_.join("installs"), "IDE");
  }

  const std::string& install_dir() const { return install_dir_; }
  std::string in_dir(const std::string& name) const { return path_join(install_dir_, name); }

  // Version 1.0.0 with an old command library, as an earlier release left it.
  void make_old_installation() {
    EXPECT_TRUE(create_directories(install_dir_));
    write_file(in_dir(kMainProgramFileName), kOldProgram);
    EXPECT_TRUE(write_install_manifest(in_dir(kInstallManifestFileName), install_dir_,
                                       in_dir(kMainProgramFileName), "1.0.0"));
    old_manifest_ = read_file(in_dir(kInstallManifestFileName));
    const std::string library = in_dir(kCommandLibraryDirName);
    EXPECT_TRUE(create_directories(path_join(library, "tables")));
    write_file(path_join(library, "commands.db"), "old commands");
    write_file(path_join(path_join(library, "tables"), "t1"), "table one");
  }

  // Outside services: nothing runs (a scripted in-use answer), and the real
  // launcher step copies a small stand-in assistant, with the desktop shell
  // of the test's own folders.
  InstallServices services() {
    InstallServices services;
    services.ensure_workbench_not_running = [](const std::string&) { return ok(); };
    services.install_startup_launcher = [this](const std::string& dir) -> Status {
      const Result<std::string> launcher =
          install_startup_launcher(dir, launcher_source_at(assistant_), shell_.platform());
      return launcher ? ok() : Status(fail(launcher.error()));
    };
    return services;
  }

  Status apply() { return apply(services()); }
  Status apply(const InstallServices& services) const {
    return apply_verified_installer(installer_, install_dir_, services);
  }

  // Names in the install directory (not below it).
  std::vector<std::string> names() const {
    std::vector<std::string> result;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(fs_path(install_dir_), error)) {
#ifdef _WIN32
      result.push_back(from_wide(entry.path().filename().wstring()));
#else
      result.push_back(entry.path().filename().string());
#endif
    }
    return result;
  }

  bool old_installation_intact() const {
    return read_file_or_empty(in_dir(kMainProgramFileName)) == kOldProgram &&
           read_file_or_empty(in_dir(kInstallManifestFileName)) == old_manifest_ &&
           read_file_or_empty(path_join(in_dir(kCommandLibraryDirName), "commands.db")) ==
               "old commands";
  }

  // The new program and manifest in place (the old command library may
  // still be there: it is retired by the next run).
  bool new_program_installed() const {
    const std::optional<InstallManifest> manifest = read_install_manifest(install_dir_);
    return manifest && manifest->version == "1.10.0" &&
           read_file_or_empty(in_dir(kMainProgramFileName)) == kNewProgram;
  }

  bool new_installation_complete() const {
    const std::optional<InstallManifest> manifest = read_install_manifest(install_dir_);
    return manifest && manifest->version == "1.10.0" &&
           read_file_or_empty(in_dir(kMainProgramFileName)) == kNewProgram &&
           !path_exists(in_dir(kCommandLibraryDirName));
  }

  static std::string read_file_or_empty(const std::string& path) {
    return read_small_file(path, 1 << 20).value_or("");
  }

 private:
  TempDir root_{"velmo-install"};
  ScopedEnv program_data_;
  FakeLauncherShell shell_;
  std::string assistant_;
  ScopedReleaseStore releases_;
  std::string installer_;
  std::string install_dir_;
  std::string old_manifest_;
};

}  // namespace velmo::test

#endif  // VELMO_TESTS_UNIT_INSTALL_FIXTURE_H_
