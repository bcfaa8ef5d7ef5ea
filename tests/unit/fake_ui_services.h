#ifndef VELMO_TESTS_UNIT_FAKE_UI_SERVICES_H_
#define VELMO_TESTS_UNIT_FAKE_UI_SERVICES_H_

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "ui/ui_services.h"
#include "ui/ui_state.h"

namespace velmo::test {

// A scripted outside world for the screen logic: answers come from the
// public fields, every call is recorded. services() hands out functions that
// refer back to this object, so it must outlive them.
class FakeUiServices {
 public:
  struct StartedProcess {
    std::string program;
    std::vector<std::string> arguments;
    std::string working_directory;
  };

  FakeUiServices() { install_start_time().set(std::nullopt); }
  ~FakeUiServices() { install_start_time().set(std::nullopt); }
  FakeUiServices(const FakeUiServices&) = delete;
  FakeUiServices& operator=(const FakeUiServices&) = delete;

  UiServices services() {
    UiServices s;
    s.recover_interrupted_update = [this](const std::string& dir) {
      recovered_dirs.push_back(dir);
    };
    s.check_environment = [this](const std::optional<std::string>& dir) {
      checked_dirs.push_back(dir);
      return check;
    };
    s.start_policy_check = [this] { ++policy_checks; };
    s.query_in_use = [this](const std::string& path) {
      probed_paths.push_back(path);
      return in_use;
    };
    s.start_installation = [this](InstallationInputs inputs) {
      installations.push_back(std::move(inputs));
    };
    s.choose_folder = [this] {
      ++dialogs;
      return chosen_folder;
    };
    s.now = [this] { return now; };
    s.load_release = [this]() -> Result<VerifiedRelease> {
      if (!release) {
        return fail("尚未取得正式版本策略，请重新检测。");
      }
      return *release;
    };
    s.is_installed = [this](const std::string& dir) {
      installed_checks.push_back(dir);
      return installed;
    };
    s.install_startup_launcher = [this](const std::string& dir) {
      launcher_installs.push_back(dir);
      return launcher;
    };
    s.is_protected_installation = [this](const std::string&) { return protected_installation; };
    s.start_process = [this](const std::string& program, const std::vector<std::string>& arguments,
                             const std::string& working_directory) {
      started.push_back(StartedProcess{program, arguments, working_directory});
      return start_result;
    };
    s.process_id = [] { return 4242u; };
    return s;
  }

  // Answers.
  EnvironmentCheck check;
  Result<bool> in_use = false;
  std::optional<std::string> chosen_folder;
  std::chrono::steady_clock::time_point now{std::chrono::hours(1)};
  std::optional<VerifiedRelease> release;
  bool installed = true;
  Result<std::string> launcher = std::string("D:\\IDE\\运行组件\\VelmoQen工作台启动器.exe");
  OsStatus start_result;
  bool protected_installation = true;

  // Calls.
  std::vector<std::string> recovered_dirs;
  std::vector<std::optional<std::string>> checked_dirs;
  int policy_checks = 0;
  std::vector<std::string> probed_paths;
  std::vector<InstallationInputs> installations;
  int dialogs = 0;
  std::vector<std::string> installed_checks;
  std::vector<std::string> launcher_installs;
  std::vector<StartedProcess> started;
};

}  // namespace velmo::test

#endif  // VELMO_TESTS_UNIT_FAKE_UI_SERVICES_H_
