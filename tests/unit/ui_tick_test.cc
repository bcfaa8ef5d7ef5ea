#include "ui/ui_tick.h"

#include <gtest/gtest.h>

#include "fake_ui_services.h"
#include "ui/screen_actions.h"
#include "ui_test_state.h"

namespace velmo {
namespace {

constexpr char kWorkbenchExe[] = "D:\\IDE\\VelmoQen工作台.exe";

class UiTickTest : public testing::Test {
 protected:
  UiTickTest() { fake_.release = test::test_release(); }

  bool tick_once() { return tick(state_, fake_.services(), false); }

  // Ticks `count` times; true when any of them asked for a repaint.
  bool tick_times(int count) {
    bool repaint = false;
    for (int i = 0; i < count; ++i) {
      repaint = tick_once() || repaint;
    }
    return repaint;
  }

  test::FakeUiServices fake_;
  UiState state_ = test::checked_state(Screen::Checking, 0);
};

TEST_F(UiTickTest, CheckingStopsAt94WithoutPolicy) {
  state_.progress = 0;
  for (int i = 1; i <= 31; ++i) {
    EXPECT_TRUE(tick_once());
    EXPECT_EQ(state_.progress, 3 * i);
  }
  EXPECT_TRUE(tick_times(40));
  EXPECT_EQ(state_.progress, 94);
  EXPECT_EQ(state_.screen, Screen::Checking);
}

TEST_F(UiTickTest, PolicyReleasesTheCapAndEndsTheCheckAt100) {
  state_.progress = 94;
  state_.policy_ready = true;
  tick_once();
  EXPECT_EQ(state_.progress, 97);
  EXPECT_EQ(state_.screen, Screen::Checking);
  tick_once();
  EXPECT_EQ(state_.progress, 100);
  EXPECT_EQ(state_.screen, Screen::Ready);
  // The title animation started with the screen and advanced once.
  EXPECT_EQ(state_.intro_tick, 1u);
  EXPECT_TRUE(fake_.installations.empty());
}

TEST_F(UiTickTest, IntroAnimationRuns35TicksThenIdles) {
  state_ = test::checked_state(Screen::Ready, 0);
  state_.intro_tick = 0;
  EXPECT_TRUE(tick_times(34));
  EXPECT_EQ(state_.intro_tick, 34u);
  EXPECT_TRUE(tick_once());
  EXPECT_EQ(state_.intro_tick, kIntroIdle);
  EXPECT_FALSE(tick_once());
}

struct CheckEndCase {
  const char* name;
  uint8_t ws;
  bool supported;
  bool has_report;
  bool webview2_present;
  bool auto_continue;
  Screen screen;
  bool intro_running;
  bool installation_started;
};

const CheckEndCase kCheckEndCases[] = {
    {"NotInstalledWaitsForTheClick", 0, true, true, true, false, Screen::Ready, true, false},
    {"NotInstalledContinuesByItself", 0, true, true, true, true, Screen::Downloading, false, true},
    {"CurrentIsFinished", 2, true, true, true, false, Screen::Finished, true, false},
    {"CurrentIsFinishedEvenWhenAsked", 2, true, true, true, true, Screen::Finished, true, false},
    {"CurrentWithoutRuntimeContinues", 2, true, true, false, true, Screen::Downloading, false,
     true},
    {"CurrentWithoutRuntimeWaits", 2, true, true, false, false, Screen::Ready, true, false},
    {"UnsupportedStaysReady", 0, false, true, true, true, Screen::Ready, false, false},
    {"NoReportStaysReady", 0, true, false, true, true, Screen::Ready, false, false},
};

class CheckEndTest : public UiTickTest, public testing::WithParamInterface<CheckEndCase> {};

TEST_P(CheckEndTest, ScreenAfterTheCheck) {
  const CheckEndCase& c = GetParam();
  state_ = test::checked_state(Screen::Checking, c.ws, c.supported);
  state_.report->present[3] = c.webview2_present;
  if (!c.has_report) {
    state_.report.reset();
  }
  state_.auto_continue = c.auto_continue;
  state_.policy_ready = true;
  state_.progress = 99;

  EXPECT_TRUE(tick_once());

  EXPECT_EQ(state_.screen, c.screen);
  EXPECT_EQ(state_.intro_tick != kIntroIdle, c.intro_running);
  EXPECT_EQ(fake_.installations.size(), c.installation_started ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Table,
                         CheckEndTest,
                         testing::ValuesIn(kCheckEndCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(UiTickTest, InstallSweepAdvancesAndRepaints) {
  state_ = test::checked_state(Screen::InstallInProgress, 0);
  state_.install_sweep = 10;
  EXPECT_TRUE(tick_once());
  EXPECT_EQ(state_.install_sweep, 15u);
}

TEST_F(UiTickTest, RepaintAnswer) {
  struct Case {
    Screen screen;
    bool events_applied;
    bool repaint;
  };
  const Case cases[] = {
      {Screen::Ready, false, false},
      {Screen::Ready, true, true},
      {Screen::Finished, false, false},
      {Screen::Failed, false, false},
      {Screen::Failed, true, true},
      {Screen::Downloading, false, false},
      {Screen::Downloading, true, true},
      {Screen::Checking, false, true},
      {Screen::InstallInProgress, false, true},
  };
  for (const Case& c : cases) {
    UiState state = test::checked_state(c.screen, 0);
    EXPECT_EQ(tick(state, fake_.services(), c.events_applied), c.repaint)
        << static_cast<int>(c.screen) << " " << c.events_applied;
  }
}

class WaitingForExitTest : public UiTickTest {
 protected:
  WaitingForExitTest() {
    state_ = test::checked_state(Screen::WaitingForExit, 1);
    state_.is_update = true;
    state_.current_component = Component::Workbench;
    state_.exit_poll_ticks = 0;
    fake_.in_use = true;
  }
};

TEST_F(WaitingForExitTest, ProbesEvery22Ticks) {
  EXPECT_FALSE(tick_times(21));
  EXPECT_TRUE(fake_.probed_paths.empty());
  // Still in use: nothing changes and nothing needs painting.
  EXPECT_FALSE(tick_once());
  ASSERT_EQ(fake_.probed_paths.size(), 1u);
  EXPECT_EQ(fake_.probed_paths[0], kWorkbenchExe);
  EXPECT_EQ(state_.exit_poll_ticks, 0u);
  tick_times(21);
  EXPECT_EQ(fake_.probed_paths.size(), 1u);
  tick_once();
  EXPECT_EQ(fake_.probed_paths.size(), 2u);
  EXPECT_EQ(state_.screen, Screen::WaitingForExit);
}

TEST_F(WaitingForExitTest, ExitSeenContinuesTheUpdateWithoutAClick) {
  state_.auto_continue = true;
  tick_times(21);
  fake_.in_use = false;
  EXPECT_TRUE(tick_once());
  // The start action ran again: it probed once more and started the run.
  EXPECT_EQ(fake_.probed_paths.size(), 2u);
  ASSERT_EQ(fake_.installations.size(), 1u);
  EXPECT_EQ(fake_.installations[0].install_dir, test::kTestInstallDir);
  EXPECT_EQ(state_.screen, Screen::Downloading);
  EXPECT_EQ(state_.message, "正在准备下载 VelmoQen工作台 v2.3.4。");
  EXPECT_FALSE(state_.auto_continue);
}

TEST_F(WaitingForExitTest, ExitSeenWithoutAutoContinueIsReady) {
  state_.auto_continue = false;
  fake_.in_use = false;
  EXPECT_TRUE(tick_times(22));
  EXPECT_EQ(state_.screen, Screen::Ready);
  EXPECT_EQ(state_.message, "已检测到工作台退出，正在自动继续更新。");
  EXPECT_EQ(state_.intro_tick, 1u);
  EXPECT_TRUE(fake_.installations.empty());
}

TEST_F(WaitingForExitTest, ProbeFailureFails) {
  fake_.in_use = fail("查询占用进程失败，错误码 5。");
  EXPECT_TRUE(tick_times(22));
  EXPECT_EQ(state_.screen, Screen::Failed);
  EXPECT_EQ(state_.message, "查询占用进程失败，错误码 5。");
}

TEST_F(WaitingForExitTest, NoInstallDirFailsTheProbe) {
  state_.install_dir.reset();
  tick_times(22);
  EXPECT_TRUE(fake_.probed_paths.empty());
  EXPECT_EQ(state_.screen, Screen::Failed);
  EXPECT_EQ(state_.message, "没有可用的工作台安装目录。");
}

// A re-check from WaitingForExit keeps auto_continue, so the end of that check
// starts the update again by itself.
TEST_F(WaitingForExitTest, RecheckKeepsAutoContinue) {
  state_.auto_continue = true;
  fake_.check.report = *state_.report;
  fake_.check.workbench_status = InstalledStatus::kOutdated;
  fake_.in_use = false;
  EXPECT_EQ(click(state_, Button::Secondary, fake_.services()), AfterInput::Repaint);
  EXPECT_EQ(state_.screen, Screen::Checking);
  EXPECT_TRUE(state_.auto_continue);
  state_.policy_ready = true;  // as the PolicyReady event leaves it
  tick_times(32);
  EXPECT_EQ(state_.screen, Screen::Downloading);
  EXPECT_EQ(fake_.installations.size(), 1u);
}

TEST(OnTimerTest, EventsRepaintAndFinishingWithOpenAfterFinishQuits) {
  test::FakeUiServices fake;
  const UiServices services = fake.services();
  ReceiverSlot slot;
  UiState state = test::checked_state(Screen::Downloading, 0);
  EXPECT_EQ(on_timer(state, slot, services), AfterTimer::Unchanged);

  ProgressChannel channel = open_progress_queue();
  slot.park(std::move(channel.receiver));
  channel.sender.send(WorkerEvent::progress(Component::Workbench, 12, "下载"));
  EXPECT_EQ(on_timer(state, slot, services), AfterTimer::Repaint);
  EXPECT_EQ(state.progress, 12);

  state.open_after_finish = true;
  channel.sender.send(WorkerEvent::install_completed());
  EXPECT_EQ(on_timer(state, slot, services), AfterTimer::Quit);
  ASSERT_EQ(fake.started.size(), 1u);
  EXPECT_FALSE(state.open_after_finish);
}

TEST(OnTimerTest, InstallingStartsTheClockOfTheServices) {
  test::FakeUiServices fake;
  ReceiverSlot slot;
  UiState state = test::checked_state(Screen::Downloading, 0);
  ProgressChannel channel = open_progress_queue();
  slot.park(std::move(channel.receiver));
  channel.sender.send(WorkerEvent::installing(Component::Workbench, "正在安装"));
  on_timer(state, slot, fake.services());
  EXPECT_EQ(install_start_time().get(), fake.now);
}

}  // namespace
}  // namespace velmo
