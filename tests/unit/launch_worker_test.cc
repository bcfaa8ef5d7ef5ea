#include "app/launch_worker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "app/progress_queue.h"
#include "app/worker_event.h"
#include "platform/file_system.h"
#include "platform/object_security.h"
#include "temp_dir.h"

namespace velmo {
namespace {

using namespace std::chrono_literals;
using std::chrono::steady_clock;

constexpr char kInstallDir[] = "C:\\IDE";
constexpr char kProgram[] = "C:\\IDE\\VelmoQen工作台.exe";
constexpr char kDownloads[] = "C:\\data\\downloads";
const VerifiedRelease kRelease{"1.1.0", "https://localhost/v1/downloads/x.exe",
                               std::string(64, 'A'), 2500000};

// How the scripted workbench behaves once started.
struct WorkbenchScript {
  // Polls before its window shows (-1: never).
  int window_after = 0;
  // Polls before it exits with exit_code (-1: never).
  int exit_after = -1;
  int32_t exit_code = 0;
  // The exit-code query fails.
  std::string query_error;
};

class ScriptedWorkbench final : public StartedWorkbench {
 public:
  ScriptedWorkbench(WorkbenchScript script, int& polls)
      : script_(std::move(script)), polls_(polls) {}

  bool has_visible_window() override {
    ++polls_;
    return script_.window_after >= 0 && polls_ > script_.window_after;
  }
  Result<std::optional<int32_t>> exit_code() override {
    if (!script_.query_error.empty()) {
      return fail(script_.query_error);
    }
    if (script_.exit_after >= 0 && polls_ > script_.exit_after) {
      return std::optional<int32_t>(script_.exit_code);
    }
    return std::optional<int32_t>();
  }

 private:
  WorkbenchScript script_;
  int& polls_;
};

// Every step of the launch scripted; calls are logged in order.
class FakeLaunch {
 public:
  FakeLaunch() {
    services_.resolve_main_program = [this](const std::string& dir) -> Result<std::string> {
      log("resolve " + dir);
      if (!manifest_error.empty()) {
        return fail(manifest_error);
      }
      return std::string(kProgram);
    };
    services_.recover_interrupted_update = [this](const std::string& dir) {
      recovered_before_call = calls_.size();
      recovered_dir = dir;
    };
    services_.is_protected_installation = [this](const std::string&) {
      return protected_answers.empty() ? true : protected_answers.at(protected_calls++);
    };
    services_.process_using = [this](const std::string&) -> Result<std::optional<uint32_t>> {
      log("in-use");
      if (in_use_answers.empty()) {
        return std::optional<uint32_t>();
      }
      Result<std::optional<uint32_t>> answer = in_use_answers.front();
      in_use_answers.erase(in_use_answers.begin());
      return answer;
    };
    services_.bring_to_front = [this](uint32_t id) { log("front " + std::to_string(id)); };
    services_.installed_version = [this](const std::string&) { return installed; };
    services_.download_directory = [] { return Result<std::string>(kDownloads); };
    services_.list_directory = [this](const std::string&) { return downloads; };
    services_.fetch_policy_within =
        [this](steady_clock::duration wait) -> std::optional<Result<VerifiedRelease>> {
      log("policy " +
          std::to_string(std::chrono::duration_cast<std::chrono::seconds>(wait).count()));
      return policy;
    };
    services_.package_matches = [this](const std::string& path, uint64_t bytes,
                                       const std::string& sha256) {
      log("verify " + path + " " + std::to_string(bytes) + " " + sha256.substr(0, 4));
      return package_ok;
    };
    services_.store_release = [this](VerifiedRelease release) -> Status {
      log("store " + release.latest_version);
      return ok();
    };
    services_.apply_verified_installer = [this](const std::string& package,
                                                const std::string& dir) -> Status {
      log("apply " + package + " " + dir);
      return apply_error.empty() ? ok() : Status(fail(apply_error));
    };
    services_.delete_file = [this](const std::string& path) { log("delete " + path); };
    services_.start_workbench =
        [this](const std::string& program, const std::vector<std::string>& arguments,
               const std::string& directory) -> Result<std::unique_ptr<StartedWorkbench>> {
      std::string line = "start " + program;
      for (const std::string& argument : arguments) {
        line += " " + argument;
      }
      log(line + " in " + directory);
      if (!start_error.empty()) {
        return fail(start_error);
      }
      return std::unique_ptr<StartedWorkbench>(
          std::make_unique<ScriptedWorkbench>(workbench, polls));
    };
    services_.now = [this] { return now_; };
    services_.sleep = [this](steady_clock::duration duration) {
      ++sleeps;
      now_ += duration;
    };
  }

  struct Outcome {
    std::vector<std::string> events;
    std::vector<std::string> calls;
  };

  Outcome run() {
    ProgressChannel channel = open_progress_queue();
    run_launch(kInstallDir, channel.sender, services_);
    Outcome outcome{{}, calls_};
    while (auto event = channel.receiver.try_receive()) {
      std::string shown = worker_event_name(event->tag);
      if (!event->message.empty()) {
        shown += ": " + event->message;
      }
      outcome.events.push_back(shown);
    }
    return outcome;
  }

  std::string manifest_error;
  // How many calls were made when the recovery ran, and for which directory.
  std::optional<size_t> recovered_before_call;
  std::string recovered_dir;
  // Answers of the protection check in turn; none means protected.
  std::vector<bool> protected_answers;
  size_t protected_calls = 0;
  std::vector<Result<std::optional<uint32_t>>> in_use_answers;
  std::optional<std::string> installed = "1.0.0";
  std::vector<std::string> downloads;
  std::optional<Result<VerifiedRelease>> policy = kRelease;
  bool package_ok = true;
  std::string apply_error;
  std::string start_error;
  WorkbenchScript workbench;
  int polls = 0;
  int sleeps = 0;

 private:
  void log(std::string line) { calls_.push_back(std::move(line)); }

  LaunchServices services_;
  std::vector<std::string> calls_;
  steady_clock::time_point now_{};
};

const std::string kPackage = path_join(kDownloads, "VelmoQenWorkbench-Update-v1.1.0.package");

std::vector<std::string> started_plainly() {
  return {"resolve C:\\IDE", "in-use", "resolve C:\\IDE", "in-use",
          std::string("start ") + kProgram + " --main in C:\\IDE"};
}

TEST(LaunchWorkerTest, AlreadyRunningComesToTheFrontAndNothingStarts) {
  FakeLaunch launch;
  launch.in_use_answers = {std::optional<uint32_t>(42)};
  launch.downloads = {"VelmoQenWorkbench-Update-v1.1.0.package"};
  const auto outcome = launch.run();
  EXPECT_EQ(outcome.events, std::vector<std::string>{"LaunchSucceeded"});
  EXPECT_EQ(outcome.calls, (std::vector<std::string>{"resolve C:\\IDE", "in-use", "front 42"}));
}

// An installation another account could change is never started, neither
// before an update nor after one; nothing else is done for it.
TEST(LaunchWorkerTest, AnUnprotectedInstallationStartsNothing) {
  struct Case {
    const char* name;
    std::vector<bool> answers;
    std::vector<std::string> downloads;
  };
  const Case cases[] = {
      {"from the start", {false}, {}},
      {"after the update step", {true, false}, {"VelmoQenWorkbench-Update-v1.1.0.package"}},
  };
  for (const Case& c : cases) {
    FakeLaunch launch;
    launch.protected_answers = c.answers;
    launch.downloads = c.downloads;
    const auto outcome = launch.run();
    EXPECT_EQ(outcome.events.back(),
              std::string("LaunchFailed: ") + kUnprotectedInstallationMessage)
        << c.name;
    EXPECT_EQ(outcome.calls.back(), "resolve C:\\IDE") << c.name;
    EXPECT_TRUE(std::none_of(outcome.calls.begin(), outcome.calls.end(),
                             [](const std::string& call) { return call.starts_with("start"); }))
        << c.name;
  }
}

// An interrupted update is put back before anything reads the manifest.
TEST(LaunchWorkerTest, RecoveryComesFirst) {
  FakeLaunch launch;
  launch.run();
  EXPECT_EQ(launch.recovered_before_call, std::optional<size_t>(0));
  EXPECT_EQ(launch.recovered_dir, "C:\\IDE");
}

TEST(LaunchWorkerTest, WithoutACandidateTheInstalledVersionStarts) {
  FakeLaunch launch;
  // Not newer, another product's file, a bad version, a folder-like name.
  launch.downloads = {"VelmoQenWorkbench-Update-v1.0.0.package", "notes.txt",
                      "VelmoQenWorkbench-Update-v1.x.package", "VelmoQenWorkbench-Update-v2.0.0"};
  launch.workbench.window_after = 3;
  const auto outcome = launch.run();
  EXPECT_EQ(outcome.events, std::vector<std::string>{"LaunchSucceeded"});
  EXPECT_EQ(outcome.calls, started_plainly()) << "no policy is asked for without a candidate";
  EXPECT_EQ(launch.sleeps, 3);
}

TEST(LaunchWorkerTest, ANewerVerifiedPackageIsAppliedAndDeletedFirst) {
  FakeLaunch launch;
  // Any newer package makes a candidate; the one applied is the policy's.
  launch.downloads = {"other", "VelmoQenWorkbench-Update-v1.0.5.package"};
  const auto outcome = launch.run();
  EXPECT_EQ(outcome.events,
            (std::vector<std::string>{"Installing: 正在应用已下载的VelmoQen工作台更新。",
                                      "ComponentInstalled", "LaunchSucceeded"}));
  EXPECT_EQ(
      outcome.calls,
      (std::vector<std::string>{
          "resolve C:\\IDE", "in-use", "policy 3", "verify " + kPackage + " 2500000 AAAA",
          "store 1.1.0", "apply " + kPackage + " C:\\IDE", "delete " + kPackage, "resolve C:\\IDE",
          "in-use", std::string("start ") + kProgram + " --main in C:\\IDE"}));
}

// Every way a pending update is left alone: the installed version starts.
struct SkippedUpdateCase {
  const char* name;
  std::optional<Result<VerifiedRelease>> policy;
  bool package_ok;
  std::optional<std::string> installed;
};

class SkippedUpdateTest : public testing::TestWithParam<SkippedUpdateCase> {};

TEST_P(SkippedUpdateTest, StartsTheInstalledVersionUnchanged) {
  FakeLaunch launch;
  launch.downloads = {"VelmoQenWorkbench-Update-v1.1.0.package"};
  launch.policy = GetParam().policy;
  launch.package_ok = GetParam().package_ok;
  launch.installed = GetParam().installed;
  const auto outcome = launch.run();
  EXPECT_EQ(outcome.events, std::vector<std::string>{"LaunchSucceeded"});
  for (const std::string& call : outcome.calls) {
    EXPECT_FALSE(call.starts_with("apply") || call.starts_with("delete")) << call;
  }
  EXPECT_EQ(outcome.calls.back(), std::string("start ") + kProgram + " --main in C:\\IDE");
}

VerifiedRelease release_of(const char* version) {
  VerifiedRelease release = kRelease;
  release.latest_version = version;
  return release;
}

INSTANTIATE_TEST_SUITE_P(
    Cases,
    SkippedUpdateTest,
    testing::Values(
        // No policy answer within 3 seconds (the late one is dropped).
        SkippedUpdateCase{"PolicyLate", std::nullopt, true, "1.0.0"},
        SkippedUpdateCase{"PolicyFailed", Result<VerifiedRelease>(fail("HTTP 500")), true, "1.0.0"},
        // One byte short, another digest, a folder under its name: the
        // package check says no.
        SkippedUpdateCase{"PackageNotVerified", kRelease, false, "1.0.0"},
        // The policy's release is not newer than what is installed.
        SkippedUpdateCase{"NotNewer", release_of("1.0.0"), true, "1.0.0"},
        SkippedUpdateCase{"Older", release_of("0.9.0"), true, "1.0.0"},
        SkippedUpdateCase{"ManifestUnreadable", kRelease, true, std::nullopt}),
    [](const testing::TestParamInfo<SkippedUpdateCase>& info) { return info.param.name; });

TEST(LaunchWorkerTest, AFailedApplyIsIgnoredAndThePackageKept) {
  FakeLaunch launch;
  launch.downloads = {"VelmoQenWorkbench-Update-v1.1.0.package"};
  launch.apply_error = "安装失败";
  const auto outcome = launch.run();
  EXPECT_EQ(outcome.events.back(), "LaunchSucceeded");
  EXPECT_EQ(outcome.events.size(), 3u) << "Installing and ComponentInstalled frame the step";
  for (const std::string& call : outcome.calls) {
    EXPECT_FALSE(call.starts_with("delete")) << call;
  }
}

TEST(LaunchWorkerTest, RunningAfterTheUpdateStepComesToTheFront) {
  FakeLaunch launch;
  launch.in_use_answers = {std::optional<uint32_t>(), std::optional<uint32_t>(7)};
  const auto outcome = launch.run();
  EXPECT_EQ(outcome.events, std::vector<std::string>{"LaunchSucceeded"});
  EXPECT_EQ(outcome.calls.back(), "front 7");
}

// Every way the launch ends in LaunchFailed, with its message.
struct FailureCase {
  const char* name;
  void (*script)(FakeLaunch&);
  std::string message;
};

class LaunchFailureTest : public testing::TestWithParam<FailureCase> {};

TEST_P(LaunchFailureTest, EndsWithItsMessage) {
  FakeLaunch launch;
  GetParam().script(launch);
  const auto outcome = launch.run();
  EXPECT_EQ(outcome.events.back(), "LaunchFailed: " + GetParam().message);
  EXPECT_EQ(std::count_if(outcome.events.begin(), outcome.events.end(),
                          [](const std::string& e) { return e.starts_with("Launch"); }),
            1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases,
    LaunchFailureTest,
    testing::Values(FailureCase{"ManifestIncomplete",
                                [](FakeLaunch& l) {
                                  l.manifest_error = "工作台安装清单或主程序不完整，无法安全启动。";
                                },
                                "工作台安装清单或主程序不完整，无法安全启动。"},
                    FailureCase{"InUseCheckFails",
                                [](FakeLaunch& l) {
                                  l.in_use_answers = {
                                      Result<std::optional<uint32_t>>(fail("占用检查失败"))};
                                },
                                "占用检查失败"},
                    FailureCase{"InvalidInstalledVersion",
                                [](FakeLaunch& l) {
                                  l.installed = "1.x";
                                  l.downloads = {"VelmoQenWorkbench-Update-v1.1.0.package"};
                                },
                                "版本号格式无效：1.x"},
                    FailureCase{"StartFails", [](FakeLaunch& l) { l.start_error = "拒绝访问。"; },
                                "启动VelmoQen工作台失败：拒绝访问。"},
                    FailureCase{"ExitsWithOneBeforeAWindow",
                                [](FakeLaunch& l) {
                                  l.workbench = WorkbenchScript{-1, 2, 1, ""};
                                },
                                "VelmoQen工作台尚未显示主窗口便已退出，错误码 1"},
                    FailureCase{"ExitCodeIsSigned",
                                [](FakeLaunch& l) {
                                  l.workbench = WorkbenchScript{-1, 0, -1073741819, ""};
                                },
                                "VelmoQen工作台尚未显示主窗口便已退出，错误码 -1073741819"},
                    FailureCase{"OnlyHiddenWindows",
                                [](FakeLaunch& l) {
                                  l.workbench = WorkbenchScript{-1, -1, 0, ""};
                                },
                                "VelmoQen工作台启动等待超时，请关闭此提示后重新尝试。"},
                    FailureCase{"ExitQueryFails",
                                [](FakeLaunch& l) {
                                  l.workbench = WorkbenchScript{-1, -1, 0, "句柄无效。"};
                                },
                                "检查工作台启动状态失败：句柄无效。"}),
    [](const testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

TEST(LaunchWorkerTest, TheWindowWaitEndsAtNinetySecondsOfPolling) {
  FakeLaunch launch;
  launch.workbench = WorkbenchScript{-1, -1, 0, ""};
  launch.run();
  // 100 ms a poll: the 901st look is the first at 90 s.
  EXPECT_EQ(launch.sleeps, 900);
  EXPECT_EQ(launch.polls, 901);
}

TEST(PendingPackageNameTest, NamesAndVersions) {
  EXPECT_EQ(pending_package_name("1.2.3"), "VelmoQenWorkbench-Update-v1.2.3.package");
  EXPECT_EQ(pending_package_version("VelmoQenWorkbench-Update-v1.2.3.package"), "1.2.3");
  for (const char* name :
       {"VelmoQenWorkbench-Update-v.package", "VelmoQenWorkbench-Update-v1.2.package",
        "velmoqenworkbench-update-v1.2.3.package", "VelmoQenWorkbench-Update-v1.2.3.package.part",
        "VelmoQenWorkbench-Update-v1.2.3"}) {
    EXPECT_EQ(pending_package_version(name), std::nullopt) << name;
  }
}

std::string g_foreign_package;
std::optional<ObjectSecurity> foreign_package(const std::string& path) {
  if (path != g_foreign_package) {
    return std::nullopt;
  }
  return ObjectSecurity{.owner_sid = "S-1-5-21-7-7-7-1001", .protected_dacl = true};
}

// The real package check, on real files.
TEST(VerifiedPackageTest, OnlyTheExactFileCounts) {
  test::TempDir dir;
  const std::string path = path_join(dir.path(), "VelmoQenWorkbench-Update-v1.1.0.package");
  test::write_file(path, "abc");
  // SHA-256 of "abc".
  const std::string digest = "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD";
  EXPECT_TRUE(is_verified_package(path, 3, digest));
  EXPECT_TRUE(is_verified_package(
      path, 3, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
  EXPECT_FALSE(is_verified_package(path, 4, digest)) << "one byte short";
  EXPECT_FALSE(is_verified_package(path, 3, std::string(64, 'A'))) << "another digest";
  const std::string folder = path_join(dir.path(), "folder.package");
  ASSERT_TRUE(create_directories(folder).has_value());
  EXPECT_FALSE(is_verified_package(folder, 0, digest)) << "a directory under its name";
  EXPECT_FALSE(is_verified_package(path_join(dir.path(), "missing.package"), 3, digest));
  // The right bytes in a file another account owns are not ours to apply.
  g_foreign_package = path;
  const ScopedObjectSecurityProbe probe(foreign_package);
  EXPECT_FALSE(is_verified_package(path, 3, digest)) << "a foreign-owned file";
}

TEST(FetchReleaseWithinTest, AnAnswerInTimeIsTaken) {
  const auto answer = fetch_release_within([] { return Result<VerifiedRelease>(kRelease); }, 5s);
  ASSERT_TRUE(answer.has_value());
  ASSERT_TRUE(answer->has_value());
  EXPECT_EQ(**answer, kRelease);
}

TEST(FetchReleaseWithinTest, ALateAnswerIsDropped) {
  auto released = std::make_shared<std::atomic<bool>>(false);
  auto finished = std::make_shared<std::atomic<bool>>(false);
  const auto started = steady_clock::now();
  const auto answer = fetch_release_within(
      [released, finished]() -> Result<VerifiedRelease> {
        while (!released->load()) {
          std::this_thread::sleep_for(5ms);
        }
        finished->store(true);
        return kRelease;
      },
      200ms);
  EXPECT_FALSE(answer.has_value());
  EXPECT_GE(steady_clock::now() - started, 200ms);
  // The fetcher ends later without anybody to hand its answer to.
  released->store(true);
  for (int i = 0; i < 200 && !finished->load(); ++i) {
    std::this_thread::sleep_for(5ms);
  }
  EXPECT_TRUE(finished->load());
}

}  // namespace
}  // namespace velmo
