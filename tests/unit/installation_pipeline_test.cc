#include "app/installation_pipeline.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "app/progress_queue.h"
#include "app/worker_event.h"

namespace velmo {
namespace {

using std::chrono::seconds;
using std::chrono::steady_clock;

const VerifiedRelease kRelease{"1.4.0", "https://localhost/v1/downloads/x.package",
                               std::string(64, 'A'), 2500000};

// Every step of the run scripted: calls are logged in order, and each step
// answers what the test chose.
class FakeSteps {
 public:
  FakeSteps() {
    services_.ensure_workbench_not_running = [this](const std::string& dir) -> Status {
      log("not-running " + dir);
      return running_message_.empty() ? ok() : Status(fail(running_message_));
    };
    services_.is_recognised_installation = [this](const std::string&) { return recognised_; };
    services_.load_release = [this]() -> Result<VerifiedRelease> {
      log("load-release");
      if (!release_) {
        return fail("尚未取得正式版本策略，请重新检测。");
      }
      return *release_;
    };
    services_.download = [this](const DownloadItem& item,
                                const DownloadProgress& progress) -> Result<std::string> {
      log("download " + item.file_name);
      downloaded_item_ = item;
      for (const uint64_t bytes : progress_reports_) {
        progress(bytes);
      }
      if (!download_error_.empty()) {
        return fail(download_error_);
      }
      return std::string("C:\\cache\\") + item.file_name;
    };
    services_.write_out_bootstrapper = [this]() -> Result<std::string> {
      log("write-bootstrapper");
      return std::string("C:\\cache\\MicrosoftEdgeWebview2Setup.exe");
    };
    services_.run_bootstrapper = [this](const std::string& path) -> Status {
      log("run " + path);
      bootstrapper_ended_ = now_;
      return bootstrapper_error_.empty() ? ok() : Status(fail(bootstrapper_error_));
    };
    services_.is_webview2_present = [this] {
      ++detections_;
      log("detect");
      return runtime_appears_after_ && now_ - bootstrapper_ended_ >= *runtime_appears_after_;
    };
    services_.clock.now = [this] { return now_; };
    services_.clock.sleep = [this](steady_clock::duration duration) {
      sleeps_.push_back(duration);
      now_ += duration;
    };
    services_.apply_verified_installer = [this](const std::string& package,
                                                const std::string& dir) -> Status {
      log("apply " + package + " " + dir);
      if (!apply_error_.empty()) {
        return fail(apply_error_);
      }
      recognised_ = true;
      return ok();
    };
    services_.install_launcher = [this](const std::string& dir) -> Status {
      log("launcher " + dir);
      return launcher_error_.empty() ? ok() : Status(fail(launcher_error_));
    };
  }

  // The events the run sent, and its result.
  struct Outcome {
    Status result;
    std::vector<WorkerEvent> events;
  };
  Outcome run(const InstallationInputs& inputs) {
    ProgressChannel channel = open_progress_queue();
    Outcome outcome{run_installation(inputs, channel.sender, services_), {}};
    while (auto event = channel.receiver.try_receive()) {
      outcome.events.push_back(std::move(*event));
    }
    return outcome;
  }

  void log(std::string entry) { calls_.push_back(std::move(entry)); }

  PipelineServices services_;
  std::vector<std::string> calls_;
  std::string running_message_;
  bool recognised_ = false;
  std::optional<VerifiedRelease> release_ = kRelease;
  std::vector<uint64_t> progress_reports_;
  std::string download_error_;
  std::optional<DownloadItem> downloaded_item_;
  std::string bootstrapper_error_;
  std::optional<steady_clock::duration> runtime_appears_after_ = seconds(0);
  std::string apply_error_;
  std::string launcher_error_;
  steady_clock::time_point now_{};
  steady_clock::time_point bootstrapper_ended_{};
  int detections_ = 0;
  std::vector<steady_clock::duration> sleeps_;
};

// An event in the short form the expectations use: tag, component, percent.
struct Expected {
  WorkerEventTag tag;
  Component component = Component::General;
  uint32_t percent = 0;
  const char* message = nullptr;
};

void expect_events(const std::vector<WorkerEvent>& actual, const std::vector<Expected>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(actual[i].tag, expected[i].tag);
    EXPECT_EQ(actual[i].component, expected[i].component);
    EXPECT_EQ(actual[i].percent, expected[i].percent);
    if (expected[i].message != nullptr) {
      EXPECT_EQ(actual[i].message, expected[i].message);
    }
  }
}

constexpr char kDir[] = "D:\\VelmoQen工作台";

TEST(InstallationPipelineTest, NothingMissingOnlyRefreshesTheLauncher) {
  FakeSteps steps;
  steps.recognised_ = true;
  const auto outcome = steps.run({kDir, true, true});
  ASSERT_TRUE(outcome.result.has_value()) << outcome.result.error();
  expect_events(outcome.events, {{WorkerEventTag::InstallCompleted}});
  EXPECT_EQ(steps.calls_, (std::vector<std::string>{std::string("not-running ") + kDir,
                                                    std::string("launcher ") + kDir}));
}

TEST(InstallationPipelineTest, RuntimeMissingWorkbenchCurrent) {
  FakeSteps steps;
  steps.recognised_ = true;
  const auto outcome = steps.run({kDir, false, true});
  ASSERT_TRUE(outcome.result.has_value()) << outcome.result.error();
  expect_events(outcome.events, {{WorkerEventTag::Progress, Component::WebView2Runtime, 100,
                                  "微软 WebView2 Evergreen 引导器已准备完成。"},
                                 {WorkerEventTag::ComponentDownloaded, Component::WebView2Runtime},
                                 {WorkerEventTag::Installing, Component::WebView2Runtime, 0,
                                  "正在联网安装微软 WebView2 Evergreen 运行环境，请勿关闭。"},
                                 {WorkerEventTag::ComponentInstalled, Component::WebView2Runtime},
                                 {WorkerEventTag::InstallCompleted}});
  EXPECT_EQ(steps.calls_,
            (std::vector<std::string>{std::string("not-running ") + kDir, "write-bootstrapper",
                                      "run C:\\cache\\MicrosoftEdgeWebview2Setup.exe", "detect",
                                      std::string("launcher ") + kDir}));
}

TEST(InstallationPipelineTest, WorkbenchMissingDownloadsThenInstalls) {
  FakeSteps steps;
  steps.progress_reports_ = {0, 1048576, 2500000, 2500000};
  const auto outcome = steps.run({kDir, true, false});
  ASSERT_TRUE(outcome.result.has_value()) << outcome.result.error();
  expect_events(outcome.events, {{WorkerEventTag::Progress, Component::Workbench, 0,
                                  "正在下载 VelmoQen工作台 v1.4.0 · 0% · 2.5 MB"},
                                 {WorkerEventTag::Progress, Component::Workbench, 41,
                                  "正在下载 VelmoQen工作台 v1.4.0 · 41% · 2.5 MB"},
                                 {WorkerEventTag::Progress, Component::Workbench, 100},
                                 {WorkerEventTag::Progress, Component::Workbench, 100},
                                 {WorkerEventTag::ComponentDownloaded, Component::Workbench},
                                 {WorkerEventTag::Installing, Component::Workbench, 0,
                                  "正在安装VelmoQen工作台到 D:\\VelmoQen工作台。"},
                                 {WorkerEventTag::ComponentInstalled, Component::Workbench},
                                 {WorkerEventTag::InstallCompleted}});
  ASSERT_TRUE(steps.downloaded_item_.has_value());
  EXPECT_EQ(steps.downloaded_item_->file_name, "VelmoQenWorkbench-Update-v1.4.0.package");
  EXPECT_EQ(steps.downloaded_item_->url, kRelease.download_url);
  EXPECT_EQ(steps.downloaded_item_->sha256, kRelease.sha256);
  EXPECT_EQ(steps.downloaded_item_->bytes, kRelease.installer_bytes);
  // The in-use gate runs again right before the workbench is touched, and
  // the fresh installation then gets its launcher.
  EXPECT_EQ(
      steps.calls_,
      (std::vector<std::string>{
          std::string("not-running ") + kDir, "load-release",
          "download VelmoQenWorkbench-Update-v1.4.0.package", std::string("not-running ") + kDir,
          std::string("apply C:\\cache\\VelmoQenWorkbench-Update-v1.4.0.package ") + kDir,
          std::string("launcher ") + kDir}));
}

TEST(InstallationPipelineTest, RecognisedInstallationIsAnUpdate) {
  FakeSteps steps;
  steps.recognised_ = true;
  const auto outcome = steps.run({kDir, true, false});
  ASSERT_TRUE(outcome.result.has_value());
  ASSERT_GE(outcome.events.size(), 2u);
  EXPECT_EQ(outcome.events[1].message, "正在更新VelmoQen工作台到 D:\\VelmoQen工作台。");
}

TEST(InstallationPipelineTest, ZeroSizeCountsAsOneForThePercent) {
  FakeSteps steps;
  steps.release_->installer_bytes = 0;
  steps.progress_reports_ = {0, 3};
  const auto outcome = steps.run({kDir, true, false});
  ASSERT_TRUE(outcome.result.has_value());
  EXPECT_EQ(outcome.events[0].percent, 0u);
  EXPECT_EQ(outcome.events[1].percent, 300u);
  EXPECT_EQ(outcome.events[1].message, "正在下载 VelmoQen工作台 v1.4.0 · 300% · 0.0 MB");
}

// Nothing is installed while a file is missing: the bootstrapper has been
// written but never runs when the workbench download fails.
TEST(InstallationPipelineTest, FailedDownloadEndsBeforeAnyInstall) {
  FakeSteps steps;
  steps.download_error_ = "下载文件 SHA256 校验失败。";
  const auto outcome = steps.run({kDir, false, false});
  ASSERT_FALSE(outcome.result.has_value());
  EXPECT_EQ(outcome.result.error(), "下载文件 SHA256 校验失败。");
  EXPECT_EQ(steps.calls_, (std::vector<std::string>{
                              std::string("not-running ") + kDir, "write-bootstrapper",
                              "load-release", "download VelmoQenWorkbench-Update-v1.4.0.package"}));
  expect_events(outcome.events,
                {{WorkerEventTag::Progress, Component::WebView2Runtime, 100},
                 {WorkerEventTag::ComponentDownloaded, Component::WebView2Runtime}});
}

TEST(InstallationPipelineTest, FailuresEndTheRunWithTheirMessage) {
  struct Case {
    const char* name;
    std::function<void(FakeSteps&)> arrange;
    const char* message;
    const char* last_call;
  };
  const Case cases[] = {
      {"workbench running",
       [](FakeSteps& s) {
         s.running_message_ = "VelmoQen工作台仍在退出，请稍候重新检测后继续更新。";
       },
       "VelmoQen工作台仍在退出，请稍候重新检测后继续更新。", "not-running D:\\VelmoQen工作台"},
      {"no release", [](FakeSteps& s) { s.release_.reset(); }, "尚未取得正式版本策略，请重新检测。",
       "load-release"},
      {"bootstrapper fails",
       [](FakeSteps& s) { s.bootstrapper_error_ = "安装程序执行失败，错误码 1。"; },
       "安装程序执行失败，错误码 1。", "run C:\\cache\\MicrosoftEdgeWebview2Setup.exe"},
      {"apply fails", [](FakeSteps& s) { s.apply_error_ = "安装失败：x"; }, "安装失败：x",
       "apply C:\\cache\\VelmoQenWorkbench-Update-v1.4.0.package D:\\VelmoQen工作台"},
      {"launcher fails",
       [](FakeSteps& s) { s.launcher_error_ = "工作台启动器复制校验失败，未改写桌面入口。"; },
       "工作台启动器复制校验失败，未改写桌面入口。", "launcher D:\\VelmoQen工作台"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeSteps steps;
    c.arrange(steps);
    const auto outcome = steps.run({kDir, false, false});
    ASSERT_FALSE(outcome.result.has_value());
    EXPECT_EQ(outcome.result.error(), c.message);
    EXPECT_EQ(steps.calls_.back(), c.last_call);
    for (const WorkerEvent& event : outcome.events) {
      EXPECT_NE(event.tag, WorkerEventTag::InstallCompleted);
      EXPECT_NE(event.tag, WorkerEventTag::InstallFailed);
    }
  }
}

TEST(InstallationPipelineTest, RuntimeAppearingLateIsWaitedFor) {
  FakeSteps steps;
  steps.recognised_ = true;
  steps.runtime_appears_after_ = seconds(30);
  const auto outcome = steps.run({kDir, false, true});
  ASSERT_TRUE(outcome.result.has_value()) << outcome.result.error();
  // Checked at once, then every two seconds until it is there.
  EXPECT_EQ(steps.detections_, 16);
  EXPECT_EQ(steps.sleeps_.size(), 15u);
  for (const auto& sleep : steps.sleeps_) {
    EXPECT_EQ(sleep, seconds(2));
  }
}

TEST(InstallationPipelineTest, RuntimeNeverAppearingFailsAfterTheLimit) {
  FakeSteps steps;
  steps.runtime_appears_after_.reset();
  const auto outcome = steps.run({kDir, false, false});
  ASSERT_FALSE(outcome.result.has_value());
  EXPECT_EQ(outcome.result.error(),
            "微软 WebView2 安装服务已经结束，但未检测到完整运行环境，已停止打开 IDE 安装程序。");
  EXPECT_EQ(steps.now_ - steps.bootstrapper_ended_, seconds(600));
  EXPECT_EQ(steps.detections_, 301);
  // The workbench was downloaded but never applied.
  EXPECT_EQ(steps.calls_.back(), "detect");
}

TEST(InstallationPipelineTest, RuntimeWaitLimitIsAService) {
  FakeSteps steps;
  steps.runtime_appears_after_.reset();
  steps.services_.runtime_wait_limit = seconds(5);
  const auto outcome = steps.run({kDir, false, true});
  ASSERT_FALSE(outcome.result.has_value());
  EXPECT_EQ(steps.detections_, 4);  // at 0, 2, 4 and 6 seconds
}

}  // namespace
}  // namespace velmo
