#include "ui/start_action.h"

#include <gtest/gtest.h>

#include "fake_ui_services.h"
#include "ui/screen_actions.h"
#include "ui_test_state.h"

namespace velmo {
namespace {

class StartActionTest : public testing::Test {
 protected:
  StartActionTest() { fake_.release = test::test_release(); }

  bool start() { return start_action(state_, fake_.services()); }

  test::FakeUiServices fake_;
  UiState state_ = test::checked_state(Screen::Ready, 0);
};

TEST_F(StartActionTest, ActsOnlyOnReadyWithASupportedReport) {
  const Screen others[] = {Screen::Checking, Screen::Downloading, Screen::InstallInProgress,
                           Screen::Finished, Screen::Failed,      Screen::WaitingForExit};
  for (Screen screen : others) {
    state_ = test::checked_state(screen, 0);
    EXPECT_FALSE(start()) << static_cast<int>(screen);
    EXPECT_EQ(state_.screen, screen);
  }
  state_ = test::checked_state(Screen::Ready, 0, false);
  EXPECT_FALSE(start());
  state_ = test::checked_state(Screen::Ready, 0);
  state_.report.reset();
  EXPECT_FALSE(start());
  EXPECT_EQ(state_.screen, Screen::Ready);
  EXPECT_TRUE(fake_.installations.empty());
}

TEST_F(StartActionTest, WithoutInstallDirFails) {
  state_.install_dir.reset();
  state_.intro_tick = 5;
  EXPECT_TRUE(start());
  EXPECT_EQ(state_.screen, Screen::Failed);
  EXPECT_EQ(state_.message, "没有可用的 IDE 安装目录。");
  EXPECT_EQ(state_.intro_tick, kIntroIdle);
  EXPECT_TRUE(fake_.installations.empty());
}

TEST_F(StartActionTest, MissingRuntimeIsDownloadedFirst) {
  state_.report->present[3] = false;
  state_.auto_continue = true;
  EXPECT_TRUE(start());
  EXPECT_EQ(state_.screen, Screen::Downloading);
  EXPECT_EQ(state_.progress, 0);
  EXPECT_EQ(state_.current_component, Component::WebView2Runtime);
  EXPECT_EQ(state_.message, "正在准备下载 WebView2 Evergreen 运行环境。");
  EXPECT_FALSE(state_.is_update);
  EXPECT_FALSE(state_.auto_continue);
  // A fresh install never asks who holds the program.
  EXPECT_TRUE(fake_.probed_paths.empty());
  ASSERT_EQ(fake_.installations.size(), 1u);
  EXPECT_EQ(fake_.installations[0].install_dir, test::kTestInstallDir);
  EXPECT_FALSE(fake_.installations[0].webview2_present);
  EXPECT_FALSE(fake_.installations[0].workbench_current);
}

TEST_F(StartActionTest, UpdateOfAnIdleWorkbenchStarts) {
  state_ = test::checked_state(Screen::Ready, 1);
  EXPECT_TRUE(start());
  EXPECT_TRUE(state_.is_update);
  ASSERT_EQ(fake_.probed_paths.size(), 1u);
  EXPECT_EQ(fake_.probed_paths[0], "D:\\IDE\\VelmoQen工作台.exe");
  EXPECT_EQ(state_.screen, Screen::Downloading);
  EXPECT_EQ(state_.current_component, Component::Workbench);
  EXPECT_EQ(state_.message, "正在准备下载 VelmoQen工作台 v2.3.4。");
  ASSERT_EQ(fake_.installations.size(), 1u);
  EXPECT_TRUE(fake_.installations[0].webview2_present);
}

TEST_F(StartActionTest, UpdateOfARunningWorkbenchWaits) {
  state_ = test::checked_state(Screen::Ready, 1);
  state_.current_component = Component::General;
  state_.exit_poll_ticks = 9;
  fake_.in_use = true;
  EXPECT_TRUE(start());
  EXPECT_EQ(state_.screen, Screen::WaitingForExit);
  EXPECT_TRUE(state_.auto_continue);
  EXPECT_EQ(state_.current_component, Component::Workbench);
  EXPECT_EQ(state_.exit_poll_ticks, 0u);
  EXPECT_EQ(state_.message, "正在等待旧工作台正常退出；退出后将自动继续更新。");
  EXPECT_TRUE(fake_.installations.empty());
}

TEST_F(StartActionTest, FailedInUseQueryFails) {
  state_ = test::checked_state(Screen::Ready, 1);
  fake_.in_use = fail("重启管理器会话失败：5");
  EXPECT_TRUE(start());
  EXPECT_EQ(state_.screen, Screen::Failed);
  EXPECT_EQ(state_.message, "重启管理器会话失败：5");
  EXPECT_TRUE(fake_.installations.empty());
}

// Everything present: Finished without opening anything; the next click on
// "打开程序" opens the workbench.
TEST_F(StartActionTest, NothingMissingFinishesAndTheNextClickOpens) {
  state_ = test::checked_state(Screen::Ready, 2);
  state_.auto_continue = true;
  EXPECT_EQ(click(state_, Button::Primary, fake_.services()), AfterInput::Repaint);
  EXPECT_EQ(state_.screen, Screen::Finished);
  EXPECT_EQ(state_.progress, 100);
  EXPECT_EQ(state_.message, "当前所需组件均已安装。");
  EXPECT_FALSE(state_.auto_continue);
  EXPECT_TRUE(fake_.installations.empty());
  EXPECT_TRUE(fake_.started.empty());

  EXPECT_EQ(click(state_, Button::Primary, fake_.services()), AfterInput::DestroyWindow);
  EXPECT_EQ(fake_.started.size(), 1u);
}

}  // namespace
}  // namespace velmo
