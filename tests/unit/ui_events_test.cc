#include "ui/ui_events.h"

#include <gtest/gtest.h>

#include "fake_ui_services.h"

namespace velmo {
namespace {

class UiEventsTest : public testing::Test {
 protected:
  UiEventsTest() {
    fake_.check.report = EnvironmentReport{};
    fake_.check.workbench_status = InstalledStatus::kOutdated;
    services_ = fake_.services();
  }

  // Parks a fresh queue in the slot and returns its sending end.
  EventSender park() {
    ProgressChannel channel = open_progress_queue();
    slot_.park(std::move(channel.receiver));
    return channel.sender;
  }

  AfterEvents drain() { return drain_and_apply(state_, slot_, services_); }

  // Launchers started to open the workbench.
  size_t opened() const { return fake_.started.size(); }

  test::FakeUiServices fake_;
  UiState state_;
  ReceiverSlot slot_;
  UiServices services_;
};

TEST_F(UiEventsTest, TerminalEventEmptiesSlotButLaterEventsOfTheBatchStillApply) {
  EventSender sender = park();
  sender.send(WorkerEvent::progress(Component::Workbench, 40, "下载中"));
  sender.send(WorkerEvent::install_failed("失败了"));
  sender.send(WorkerEvent::progress(Component::WebView2Runtime, 55, "之后"));
  drain();
  EXPECT_FALSE(slot_.has_receiver());
  // The event after the terminal one was applied, in order.
  EXPECT_EQ(state_.screen, Screen::Downloading);
  EXPECT_EQ(state_.current_component, Component::WebView2Runtime);
  EXPECT_EQ(state_.progress, 55);
  EXPECT_EQ(state_.message, "之后");
  // Nothing more arrives from that run.
  sender.send(WorkerEvent::install_failed("too late"));
  drain();
  EXPECT_EQ(state_.message, "之后");
}

TEST_F(UiEventsTest, EventsOfOneTickApplyInArrivalOrder) {
  state_.report = EnvironmentReport{};
  EventSender sender = park();
  sender.send(WorkerEvent::progress(Component::Workbench, 100, "完成下载"));
  sender.send(WorkerEvent::component_downloaded(Component::Workbench));
  sender.send(WorkerEvent::installing(Component::Workbench, "正在安装"));
  drain();
  EXPECT_TRUE(slot_.has_receiver());
  EXPECT_EQ(state_.screen, Screen::InstallInProgress);
  EXPECT_EQ(state_.progress, 0);
  EXPECT_EQ(state_.message, "正在安装");
  EXPECT_TRUE(state_.report->ready[5]);
  EXPECT_TRUE(install_start_time().get().has_value());
}

TEST_F(UiEventsTest, ProgressAbove100IsShownAs100) {
  EventSender sender = park();
  sender.send(WorkerEvent::progress(Component::Workbench, 250, "x"));
  drain();
  EXPECT_EQ(state_.progress, 100);
}

TEST_F(UiEventsTest, PolicyReadyRunsTheEnvironmentCheckAgain) {
  state_.install_dir = InstallDir{"D:\\IDE", false};
  state_.message = "old";
  EventSender sender = park();
  sender.send(WorkerEvent::policy_ready());
  drain();
  EXPECT_TRUE(state_.policy_ready);
  ASSERT_EQ(fake_.checked_dirs.size(), 1u);
  EXPECT_EQ(fake_.checked_dirs[0], "D:\\IDE");
  EXPECT_EQ(state_.workbench_state, 1);
  EXPECT_TRUE(state_.report.has_value());
  EXPECT_FALSE(state_.message.has_value());
  EXPECT_TRUE(slot_.has_receiver());  // not terminal
}

TEST_F(UiEventsTest, PolicyFailedShowsTheMessage) {
  state_.policy_ready = true;
  state_.intro_tick = 3;
  EventSender sender = park();
  sender.send(WorkerEvent::policy_failed("连接正式更新服务失败：x"));
  drain();
  EXPECT_EQ(state_.screen, Screen::Failed);
  EXPECT_EQ(state_.message, "连接正式更新服务失败：x");
  EXPECT_FALSE(state_.policy_ready);
  EXPECT_EQ(state_.intro_tick, kIntroIdle);
  EXPECT_FALSE(slot_.has_receiver());
}

TEST_F(UiEventsTest, ComponentInstalledMarksWorkbenchCurrentEvenWithoutReport) {
  EventSender sender = park();
  sender.send(WorkerEvent::component_installed(Component::Workbench));
  drain();
  EXPECT_EQ(state_.workbench_state, 2);
  EXPECT_EQ(state_.progress, 100);
}

TEST_F(UiEventsTest, ComponentInstalledSetsPresentAndReady) {
  state_.report = EnvironmentReport{};
  EventSender sender = park();
  sender.send(WorkerEvent::component_installed(Component::WebView2Runtime));
  drain();
  EXPECT_TRUE(state_.report->present[3]);
  EXPECT_TRUE(state_.report->ready[4]);
  EXPECT_EQ(state_.workbench_state, 0);
}

TEST_F(UiEventsTest, InstallCompletedTextDependsOnUpdate) {
  state_.is_update = true;
  EventSender sender = park();
  sender.send(WorkerEvent::install_completed());
  EXPECT_EQ(drain(), AfterEvents::Continue);
  EXPECT_EQ(state_.screen, Screen::Finished);
  EXPECT_EQ(state_.message, "VelmoQen工作台已经更新完成。");
  EXPECT_EQ(opened(), 0u);

  state_.is_update = false;
  sender = park();
  sender.send(WorkerEvent::install_completed());
  drain();
  EXPECT_EQ(state_.message, "全部缺失组件已经安装完成。");
}

TEST_F(UiEventsTest, InstallCompletedOpensWorkbenchOnceAndQuits) {
  state_.open_after_finish = true;
  state_.install_dir = InstallDir{"D:\\IDE", false};
  EventSender sender = park();
  sender.send(WorkerEvent::install_completed());
  EXPECT_EQ(drain(), AfterEvents::Quit);
  EXPECT_EQ(opened(), 1u);
  EXPECT_FALSE(state_.open_after_finish);
}

TEST_F(UiEventsTest, InstallCompletedWithoutInstallDirFails) {
  state_.open_after_finish = true;
  EventSender sender = park();
  sender.send(WorkerEvent::install_completed());
  EXPECT_EQ(drain(), AfterEvents::Continue);
  EXPECT_EQ(state_.screen, Screen::Failed);
  EXPECT_EQ(state_.message, "没有可用的 IDE 安装目录。");
  EXPECT_EQ(opened(), 0u);
}

TEST_F(UiEventsTest, FailedOpeningShowsItsMessage) {
  state_.open_after_finish = true;
  state_.install_dir = InstallDir{"D:\\IDE", false};
  fake_.installed = false;
  EventSender sender = park();
  sender.send(WorkerEvent::install_completed());
  EXPECT_EQ(drain(), AfterEvents::Continue);
  EXPECT_EQ(state_.screen, Screen::Failed);
  EXPECT_EQ(state_.message, "没有检测到完整的 IDE 安装结果，无法打开程序。");
}

TEST_F(UiEventsTest, LaunchEvents) {
  EventSender sender = park();
  sender.send(WorkerEvent::launch_failed("没有找到"));
  drain();
  EXPECT_EQ(state_.screen, Screen::Failed);
  EXPECT_EQ(state_.message, "没有找到");
  EXPECT_FALSE(slot_.has_receiver());

  sender = park();
  sender.send(WorkerEvent::launch_succeeded());
  drain();
  EXPECT_EQ(state_.screen, Screen::Finished);
  EXPECT_FALSE(state_.message.has_value());
  EXPECT_FALSE(slot_.has_receiver());
}

}  // namespace
}  // namespace velmo
