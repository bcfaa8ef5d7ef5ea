#include "ui/main_view_builder.h"

#include <gtest/gtest.h>

#include "ui_test_state.h"

namespace velmo {
namespace {

// The view is what the painter sees of a screen: the texts the user reads
// and which controls still answer while a worker runs.
struct ViewCase {
  const char* name;
  Screen screen;
  uint8_t ws;
  bool busy;
  const char* primary_label;
  bool primary_active;
  const char* status_line;
};

TEST(MainViewBuilderTest, WordsEachScreenAndLocksControlsWhileBusy) {
  const ViewCase cases[] = {
      {"ready to install", Screen::Ready, 0, false, "开始安装", true,
       "检测完成 · 发现 1 项需要安装"},
      {"downloading", Screen::Downloading, 0, true, "正在下载", false, "正在下载：安装组件"},
      {"failed", Screen::Failed, 1, false, "操作失败", false, "安装失败，请重新检测后再试。"},
      {"finished", Screen::Finished, 2, false, "打开程序", true, "全部缺失组件已经安装完成"},
  };
  TextInputs inputs;
  inputs.release = test::test_release();
  for (const ViewCase& c : cases) {
    UiState state = test::checked_state(c.screen, c.ws);
    state.progress = 37;
    state.install_sweep = 120;
    const MainView view = build_main_view(state, inputs);
    EXPECT_EQ(view.busy, c.busy) << c.name;
    EXPECT_EQ(view.close_enabled, !c.busy) << c.name;
    EXPECT_EQ(view.secondary_enabled, !c.busy) << c.name;
    EXPECT_EQ(view.choose_directory_enabled, !c.busy) << c.name;
    EXPECT_EQ(view.primary_label, c.primary_label) << c.name;
    EXPECT_EQ(view.primary_active, c.primary_active) << c.name;
    EXPECT_EQ(view.status_line, c.status_line) << c.name;
    EXPECT_EQ(view.version_chip, "目标版本  v2.3.4") << c.name;
    EXPECT_EQ(view.location_text, test::kTestInstallDir) << c.name;
    EXPECT_EQ(view.rows[0].status, test::kTestOsLabel) << c.name;
    EXPECT_EQ(view.progress, 37) << c.name;
    EXPECT_EQ(view.install_sweep, 120u) << c.name;
  }
}

TEST(MainViewBuilderTest, OnlyInstallingSweepsTheBar) {
  const UiState installing = test::checked_state(Screen::InstallInProgress, 0);
  const UiState downloading = test::checked_state(Screen::Downloading, 0);
  EXPECT_TRUE(build_main_view(installing, TextInputs{}).installing);
  EXPECT_FALSE(build_main_view(downloading, TextInputs{}).installing);
}

}  // namespace
}  // namespace velmo
