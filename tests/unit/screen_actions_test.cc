#include "ui/screen_actions.h"

#include <gtest/gtest.h>

#include "fake_ui_services.h"
#include "ui_test_state.h"

namespace velmo {
namespace {

constexpr Screen kAllScreens[] = {Screen::Checking,          Screen::Ready,    Screen::Downloading,
                                  Screen::InstallInProgress, Screen::Finished, Screen::Failed,
                                  Screen::WaitingForExit};

bool worker_busy(Screen screen) {
  return screen == Screen::Downloading || screen == Screen::InstallInProgress;
}

class ScreenActionsTest : public testing::Test {
 protected:
  ScreenActionsTest() {
    fake_.check.report = *state_.report;
    fake_.check.report.os_label = "Windows 10 x64 · Build 19045";
    fake_.check.workbench_status = InstalledStatus::kOutdated;
  }

  AfterInput press(Button button) { return click(state_, button, fake_.services()); }

  test::FakeUiServices fake_;
  UiState state_ = test::checked_state(Screen::Ready, 0);
};

TEST_F(ScreenActionsTest, CloseDestroysExceptWhileAWorkerRuns) {
  for (Screen screen : kAllScreens) {
    state_ = test::checked_state(screen, 0);
    const bool allowed = !worker_busy(screen);
    EXPECT_EQ(close_requested(state_), allowed) << static_cast<int>(screen);
    EXPECT_EQ(press(Button::Close), allowed ? AfterInput::DestroyWindow : AfterInput::Repaint)
        << static_cast<int>(screen);
  }
}

TEST_F(ScreenActionsTest, EveryButtonIsInertWhileAWorkerRuns) {
  fake_.chosen_folder = "E:\\新目录";
  const Button buttons[] = {Button::Close, Button::ChooseDirectory, Button::Secondary,
                            Button::Primary};
  for (Screen screen : {Screen::Downloading, Screen::InstallInProgress}) {
    for (Button button : buttons) {
      state_ = test::checked_state(screen, 0);
      state_.progress = 42;
      EXPECT_EQ(press(button), AfterInput::Repaint);
      EXPECT_EQ(state_.screen, screen);
      EXPECT_EQ(state_.progress, 42);
      EXPECT_EQ(state_.install_dir->path, test::kTestInstallDir);
    }
  }
  EXPECT_EQ(fake_.dialogs, 0);
  EXPECT_EQ(fake_.policy_checks, 0);
  EXPECT_TRUE(fake_.checked_dirs.empty());
  EXPECT_TRUE(fake_.started.empty());
}

TEST_F(ScreenActionsTest, SecondaryRechecksFromEveryIdleScreen) {
  for (Screen screen : kAllScreens) {
    if (worker_busy(screen)) {
      continue;
    }
    test::FakeUiServices fake;
    fake.check = fake_.check;
    state_ = test::checked_state(screen, 0);
    state_.progress = 77;
    state_.message = "旧消息";
    state_.intro_tick = 3;
    state_.policy_ready = true;

    EXPECT_EQ(click(state_, Button::Secondary, fake.services()), AfterInput::Repaint);

    EXPECT_EQ(state_.screen, Screen::Checking);
    EXPECT_EQ(state_.progress, 4);
    EXPECT_FALSE(state_.message.has_value());
    EXPECT_EQ(state_.intro_tick, kIntroIdle);
    EXPECT_FALSE(state_.policy_ready);
    EXPECT_EQ(fake.policy_checks, 1);
    ASSERT_EQ(fake.checked_dirs.size(), 1u);
    EXPECT_EQ(fake.checked_dirs[0], test::kTestInstallDir);
    EXPECT_EQ(state_.report->os_label, "Windows 10 x64 · Build 19045");
    EXPECT_EQ(state_.workbench_state, 1);
  }
}

TEST_F(ScreenActionsTest, CancelledFolderDialogChangesNothing) {
  state_ = test::checked_state(Screen::Failed, 0);
  state_.message = "失败";
  state_.progress = 12;
  for (const std::optional<std::string>& answer :
       {std::optional<std::string>(), std::optional<std::string>("")}) {
    fake_.chosen_folder = answer;
    EXPECT_EQ(press(Button::ChooseDirectory), AfterInput::Repaint);
    EXPECT_EQ(state_.screen, Screen::Failed);
    EXPECT_EQ(state_.message, "失败");
    EXPECT_EQ(state_.progress, 12);
    EXPECT_FALSE(state_.install_dir->user_chosen);
  }
  EXPECT_EQ(fake_.dialogs, 2);
  EXPECT_TRUE(fake_.checked_dirs.empty());
}

TEST_F(ScreenActionsTest, ChosenFolderIsCheckedAndReady) {
  struct Case {
    bool supported;
    bool intro_running;
  };
  for (const Case c : {Case{true, true}, Case{false, false}}) {
    test::FakeUiServices fake;
    fake.check = fake_.check;
    fake.check.report.supported = c.supported;
    fake.chosen_folder = "E:\\工具";
    state_ = test::checked_state(Screen::Failed, 0);
    state_.message = "失败";

    EXPECT_EQ(click(state_, Button::ChooseDirectory, fake.services()), AfterInput::Repaint);

    ASSERT_TRUE(state_.install_dir.has_value());
    EXPECT_EQ(state_.install_dir->path, "E:\\工具");
    EXPECT_TRUE(state_.install_dir->user_chosen);
    ASSERT_EQ(fake.checked_dirs.size(), 1u);
    EXPECT_EQ(fake.checked_dirs[0], "E:\\工具");
    EXPECT_EQ(state_.workbench_state, 1);
    EXPECT_EQ(state_.screen, Screen::Ready);
    EXPECT_EQ(state_.progress, 100);
    EXPECT_FALSE(state_.message.has_value());
    EXPECT_EQ(state_.intro_tick == 0, c.intro_running);
    EXPECT_EQ(state_.intro_tick == kIntroIdle, !c.intro_running);
  }
}

TEST_F(ScreenActionsTest, PrimaryDoesNothingOnScreensWithoutAnAction) {
  for (Screen screen : {Screen::Checking, Screen::Failed, Screen::WaitingForExit}) {
    state_ = test::checked_state(screen, 0);
    state_.message = "保持";
    EXPECT_EQ(press(Button::Primary), AfterInput::Repaint);
    EXPECT_EQ(state_.screen, screen);
    EXPECT_EQ(state_.message, "保持");
  }
  EXPECT_TRUE(fake_.installations.empty());
  EXPECT_TRUE(fake_.started.empty());
}

TEST_F(ScreenActionsTest, PrimaryOnReadyStartsTheInstallation) {
  EXPECT_EQ(press(Button::Primary), AfterInput::Repaint);
  EXPECT_EQ(state_.screen, Screen::Downloading);
  EXPECT_EQ(fake_.installations.size(), 1u);
}

TEST_F(ScreenActionsTest, OpeningFromFinishedFailsOntoFailed) {
  state_ = test::checked_state(Screen::Finished, 2);
  fake_.launcher = fail("写入启动器失败");
  EXPECT_EQ(press(Button::Primary), AfterInput::Repaint);
  EXPECT_EQ(state_.screen, Screen::Failed);
  EXPECT_EQ(state_.message, "写入启动器失败");
  EXPECT_TRUE(fake_.started.empty());
}

}  // namespace
}  // namespace velmo
