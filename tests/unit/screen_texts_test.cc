#include "ui/screen_texts.h"

#include <gtest/gtest.h>

#include "ui/button_states.h"
#include "ui_test_state.h"

namespace velmo {
namespace {

constexpr char kInstallNote[] = "只下载当前电脑缺少的组件；下载完成后会先校验文件，再开始安装。";
constexpr char kUpdateNote[] = "更新会先校验下载文件，并在替换前再次确认已安装程序没有运行。";
constexpr char kFailedNote[] = "可点击重新检测再次尝试；未通过 SHA256 校验的文件绝不会执行。";
constexpr char kWaitingNote[] = "工作台正在正常退出；助手确认进程结束后会自动继续更新。";

struct ScreenCase {
  const char* name;
  Screen screen;
  uint8_t ws;
  bool supported;
  bool is_update;
  const char* message;  // nullptr: none
  Component current;
  const char* header;
  const char* title;
  const char* description;
  const char* status;
  bool busy;  // secondary, close and choose-directory disabled
  const char* primary;
  bool primary_active;
  const char* footnote;
};

// Each state has the runtime present, so one component (the workbench) is
// missing unless ws = 2; the release is 2.3.4, the step has run 75 s.
const ScreenCase kScreenCases[] = {
    {"CheckingInstall", Screen::Checking, 0, true, false, nullptr, Component::Workbench, "准备安装",
     "正在检查运行环境", "将根据当前 Windows 版本自动选择合适的安装方案。", "正在检测组件 · 40%",
     false, "正在检测", false, kInstallNote},
    {"CheckingUpdate", Screen::Checking, 1, true, false, nullptr, Component::Workbench, "准备更新",
     "正在检查运行环境", "将根据当前 Windows 版本自动选择合适的安装方案。", "正在检测组件 · 40%",
     false, "正在检测", false, kUpdateNote},
    {"ReadyNotInstalled", Screen::Ready, 0, true, false, nullptr, Component::Workbench, "准备安装",
     "环境检测完成", "当前电脑未安装工作台，将下载缺少的组件后完成安装。",
     "检测完成 · 发现 1 项需要安装", false, "开始安装", true, kInstallNote},
    {"ReadyOutdated", Screen::Ready, 1, true, false, nullptr, Component::Workbench, "准备更新",
     "发现可更新的工作台", "更新助手会等待旧工作台正常退出，并自动完成更新。",
     "检测完成 · 已安装工作台，可以在线更新", false, "立即更新", true, kUpdateNote},
    {"ReadyCurrent", Screen::Ready, 2, true, false, nullptr, Component::Workbench, "准备安装",
     "当前已经是目标版本", "所需组件均已就绪，可以直接打开VelmoQen工作台。",
     "检测完成 · 当前已经是目标版本", false, "打开程序", true, kInstallNote},
    {"ReadyUnsupported", Screen::Ready, 0, false, false, nullptr, Component::Workbench, "准备安装",
     "环境检测完成", "当前电脑未安装工作台，将下载缺少的组件后完成安装。",
     "当前系统不在支持范围，不会下载或安装组件", false, "系统不支持", false, kInstallNote},
    {"ReadyUnsupportedOutdated", Screen::Ready, 1, false, false, nullptr, Component::Workbench,
     "准备更新", "发现可更新的工作台", "更新助手会等待旧工作台正常退出，并自动完成更新。",
     "当前系统不在支持范围，不会下载或安装组件", false, "系统不支持", false, kUpdateNote},
    {"DownloadingInstall", Screen::Downloading, 0, true, false, nullptr, Component::Workbench,
     "正在安装", "正在下载缺失组件", "下载完成后会先校验文件，再开始安装。",
     "正在下载：VelmoQen工作台 v2.3.4", true, "正在下载", false, kInstallNote},
    {"DownloadingUpdateShowsTheMessage", Screen::Downloading, 1, true, true,
     "正在下载 VelmoQen工作台 v2.3.4 · 50% · 61.7 MB", Component::Workbench, "正在更新",
     "正在下载缺失组件", "下载完成后会先校验文件，再开始安装。",
     "正在下载 VelmoQen工作台 v2.3.4 · 50% · 61.7 MB", true, "正在下载", false, kUpdateNote},
    {"InstallingRuntime", Screen::InstallInProgress, 0, true, false, "正在安装 WebView2",
     Component::WebView2Runtime, "正在安装", "正在安装当前组件", "安装期间请勿关闭程序或断开电源。",
     "正在安装 WebView2 Evergreen 运行环境 · 已用时 01分15秒 · 请勿关闭或断电", true, "正在安装",
     false, kInstallNote},
    {"InstallingUpdate", Screen::InstallInProgress, 1, true, true, "正在安装", Component::Workbench,
     "正在更新", "正在安装当前组件", "安装期间请勿关闭程序或断开电源。",
     "正在更新 VelmoQen工作台 v2.3.4 · 已用时 01分15秒 · 请勿关闭或断电", true, "正在安装", false,
     kUpdateNote},
    {"FinishedInstall", Screen::Finished, 2, true, false, "全部缺失组件已经安装完成。",
     Component::Workbench, "准备安装", "安装完成",
     "所需组件已经安装完成，可以开始使用VelmoQen工作台。", "全部缺失组件已经安装完成", false,
     "打开程序", true, kInstallNote},
    {"FinishedUpdateHeaderFollowsTheRating", Screen::Finished, 1, true, true, nullptr,
     Component::Workbench, "准备更新", "更新完成", "VelmoQen工作台已经更新完成，可以重新打开程序。",
     "VelmoQen工作台已经更新完成", false, "打开程序", true, kUpdateNote},
    {"FailedWithMessage", Screen::Failed, 0, true, false, "连接正式更新服务失败：x",
     Component::Workbench, "操作未完成", "操作未完成",
     "已停止当前流程，没有通过校验的文件不会执行。", "连接正式更新服务失败：x", false, "操作失败",
     false, kFailedNote},
    {"FailedWithoutMessage", Screen::Failed, 1, true, true, nullptr, Component::Workbench,
     "操作未完成", "操作未完成", "已停止当前流程，没有通过校验的文件不会执行。",
     "安装失败，请重新检测后再试。", false, "操作失败", false, kFailedNote},
    {"WaitingForExit", Screen::WaitingForExit, 1, true, true, nullptr, Component::Workbench,
     "等待关闭程序", "正在等待旧工作台退出",
     "请在工作台中完成保存并正常关闭；检测到退出后助手会自动继续更新。",
     "正在等待旧工作台正常退出；退出后将自动继续更新。", false, "等待退出", false, kWaitingNote},
    {"WaitingForExitAfterExitSeen", Screen::WaitingForExit, 1, true, true, "自定义",
     Component::Workbench, "等待关闭程序", "正在等待旧工作台退出",
     "请在工作台中完成保存并正常关闭；检测到退出后助手会自动继续更新。", "自定义", false,
     "等待退出", false, kWaitingNote},
};

class ScreenTextsTest : public testing::TestWithParam<ScreenCase> {};

TEST_P(ScreenTextsTest, TextsAndButtons) {
  const ScreenCase& c = GetParam();
  UiState state = test::checked_state(c.screen, c.ws, c.supported);
  state.is_update = c.is_update;
  state.current_component = c.current;
  state.progress = 40;
  if (c.message != nullptr) {
    state.message = c.message;
  }
  const TextInputs inputs{test::test_release(), 75};

  EXPECT_EQ(header_text(state), c.header);
  EXPECT_EQ(title_text(state), c.title);
  EXPECT_EQ(description_text(state), c.description);
  EXPECT_EQ(status_line(state, inputs), c.status);
  EXPECT_EQ(footnote(state), c.footnote);
  EXPECT_EQ(secondary_label(state), "重新检测");
  EXPECT_EQ(secondary_enabled(state), !c.busy);
  EXPECT_EQ(close_enabled(state), !c.busy);
  EXPECT_EQ(primary_label(state), c.primary);
  EXPECT_EQ(primary_active(state), c.primary_active);
}

INSTANTIATE_TEST_SUITE_P(Table,
                         ScreenTextsTest,
                         testing::ValuesIn(kScreenCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ScreenTextsReadyTest, CountsEveryMissingComponent) {
  struct Case {
    bool webview2;
    uint8_t ws;
    const char* status;
  };
  const Case cases[] = {
      {false, 0, "检测完成 · 发现 2 项需要安装"},
      {true, 0, "检测完成 · 发现 1 项需要安装"},
      // Current, but the runtime went missing: still something to install.
      {false, 2, "检测完成 · 发现 1 项需要安装"},
      {true, 2, "检测完成 · 当前已经是目标版本"},
  };
  for (const Case& c : cases) {
    UiState state = test::checked_state(Screen::Ready, c.ws);
    state.report->present[3] = c.webview2;
    EXPECT_EQ(status_line(state, TextInputs{}), c.status) << c.status;
  }
}

TEST(ScreenTextsReadyTest, WithoutReportTheSystemCountsAsUnsupported) {
  UiState state = test::checked_state(Screen::Ready, 0);
  state.report.reset();
  EXPECT_EQ(status_line(state, TextInputs{}), "当前系统不在支持范围，不会下载或安装组件");
  EXPECT_EQ(primary_label(state), "系统不支持");
  EXPECT_FALSE(primary_active(state));
}

TEST(ScreenTextsTest, DownloadingWithoutMessageNamesTheCurrentComponent) {
  UiState state = test::checked_state(Screen::Downloading, 0);
  state.current_component = Component::WebView2Runtime;
  EXPECT_EQ(status_line(state, TextInputs{}), "正在下载：WebView2 Evergreen 运行环境");
  state.current_component = Component::Workbench;
  EXPECT_EQ(status_line(state, TextInputs{}), "正在下载：VelmoQen工作台 v等待检测");
}

TEST(ScreenTextsTest, InstallingShowsElapsedHours) {
  UiState state = test::checked_state(Screen::InstallInProgress, 0);
  state.current_component = Component::Workbench;
  EXPECT_EQ(status_line(state, TextInputs{test::test_release(), 3600}),
            "正在安装 VelmoQen工作台 v2.3.4 · 已用时 1小时00分00秒 · 请勿关闭或断电");
}

TEST(ScreenTextsTest, LocationText) {
  UiState state;
  EXPECT_EQ(location_text(state), "尚未选择");
  state.install_dir = InstallDir{"E:\\工具\\VelmoQen工作台", true};
  EXPECT_EQ(location_text(state), "E:\\工具\\VelmoQen工作台");
}

}  // namespace
}  // namespace velmo
