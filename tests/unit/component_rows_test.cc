#include "ui/component_rows.h"

#include <gtest/gtest.h>

#include "ui_test_state.h"

namespace velmo {
namespace {

constexpr Rgb kGrey{204, 204, 204};
constexpr Rgb kRed{244, 135, 113};

struct RowCase {
  const char* name;
  Screen screen;
  uint8_t ws;
  bool supported;
  bool webview2_present;
  bool webview2_ready;
  bool is_update;
  Component current;
  int k;
  IconState icon;
  const char* status;
  Rgb colour;
};

constexpr auto kOk = IconState::kOk;
constexpr auto kPending = IconState::kPending;
constexpr auto kMissing = IconState::kMissing;
constexpr auto kWb = Component::Workbench;
constexpr auto kWv = Component::WebView2Runtime;

// Release 2.3.4 with a 123.5 MB installer; progress 37 %; the step has run 59 s.
const RowCase kRowCases[] = {
    // Row 0: the system.
    {"SystemChecking", Screen::Checking, 0, true, true, false, false, kWb, 0, kPending, "正在检测…",
     kGrey},
    {"SystemSupported", Screen::Ready, 0, true, true, false, false, kWb, 0, kOk, test::kTestOsLabel,
     kGrey},
    {"SystemUnsupported", Screen::Ready, 0, false, true, false, false, kWb, 0, kMissing,
     test::kTestOsLabel, kRed},
    {"SystemUnsupportedFailed", Screen::Failed, 0, false, true, false, false, kWb, 0, kMissing,
     test::kTestOsLabel, kRed},
    // Rows 1-3: informational.
    {"ServicePackChecking", Screen::Checking, 0, true, true, false, false, kWb, 1, kPending,
     "正在检测…", kGrey},
    {"ServicePackNotNeeded", Screen::Ready, 0, true, true, false, false, kWb, 1, kOk,
     "当前系统不需要", kGrey},
    {"KbNotNeededWhileDownloading", Screen::Downloading, 0, true, false, false, false, kWv, 2, kOk,
     "当前系统不需要", kGrey},
    {"KbUnsupported", Screen::Ready, 0, false, true, false, false, kWb, 3, kMissing,
     "当前系统不支持", kGrey},
    // Row 4: the WebView2 runtime.
    {"RuntimeChecking", Screen::Checking, 0, true, false, false, false, kWv, 4, kPending,
     "正在检测…", kGrey},
    {"RuntimePresent", Screen::Ready, 0, true, true, false, false, kWb, 4, kOk, "已安装", kGrey},
    {"RuntimePresentUnsupported", Screen::Ready, 0, false, true, false, false, kWb, 4, kMissing,
     "当前系统不支持", kGrey},
    {"RuntimeMissing", Screen::Ready, 0, true, false, false, false, kWv, 4, kMissing,
     "未安装 · 下载 1.7 MB", kGrey},
    {"RuntimeDownloaded", Screen::Ready, 0, true, false, true, false, kWv, 4, kPending,
     "已下载 · 待安装", kGrey},
    {"RuntimeDownloading", Screen::Downloading, 0, true, false, false, false, kWv, 4, kPending,
     "正在下载 · 37% · 1.7 MB", kGrey},
    {"RuntimeInstalling", Screen::InstallInProgress, 0, true, false, true, true, kWv, 4, kPending,
     "正在安装 · 已用时 00分59秒", kGrey},
    {"RuntimeDownloadedWhileWorkbenchDownloads", Screen::Downloading, 0, true, false, true, false,
     kWb, 4, kPending, "已下载 · 待安装", kGrey},
    {"RuntimeFailedAfterDownload", Screen::Failed, 0, true, false, false, false, kWv, 4, kMissing,
     "未安装 · 下载 1.7 MB", kGrey},
    // Row 5: the workbench.
    {"WorkbenchChecking", Screen::Checking, 1, true, true, false, false, kWb, 5, kPending,
     "正在检测…", kGrey},
    {"WorkbenchNotInstalled", Screen::Ready, 0, true, true, false, false, kWb, 5, kMissing,
     "未安装 · v2.3.4 · 下载 123.5 MB", kGrey},
    {"WorkbenchCurrent", Screen::Ready, 2, true, true, false, false, kWb, 5, kOk, "已是当前版本",
     kGrey},
    {"WorkbenchOutdated", Screen::Ready, 1, true, true, false, false, kWb, 5, kMissing,
     "已安装 · 可更新 · 下载 123.5 MB", kGrey},
    {"WorkbenchUnsupported", Screen::Ready, 1, false, true, false, false, kWb, 5, kMissing,
     "当前系统不支持", kGrey},
    {"WorkbenchWaitingForExit", Screen::WaitingForExit, 1, true, true, false, true, kWb, 5,
     kPending, "正在等待工作台正常退出", kGrey},
    {"WorkbenchDownloading", Screen::Downloading, 0, true, true, false, false, kWb, 5, kPending,
     "正在下载 · 37% · 123.5 MB", kGrey},
    {"WorkbenchInstalling", Screen::InstallInProgress, 0, true, true, false, false, kWb, 5,
     kPending, "正在安装 · 已用时 00分59秒", kGrey},
    {"WorkbenchUpdating", Screen::InstallInProgress, 1, true, true, false, true, kWb, 5, kPending,
     "正在更新 · 已用时 00分59秒", kGrey},
    {"WorkbenchWaitsWhileRuntimeDownloads", Screen::Downloading, 0, true, false, false, false, kWv,
     5, kMissing, "未安装 · v2.3.4 · 下载 123.5 MB", kGrey},
    {"WorkbenchOutdatedWhileRuntimeInstalls", Screen::InstallInProgress, 1, true, false, true, true,
     kWv, 5, kMissing, "已安装 · 可更新 · 下载 123.5 MB", kGrey},
};

class ComponentRowTest : public testing::TestWithParam<RowCase> {};

TEST_P(ComponentRowTest, IconStatusAndColour) {
  const RowCase& c = GetParam();
  UiState state = test::checked_state(c.screen, c.ws, c.supported);
  state.report->present[3] = c.webview2_present;
  state.report->ready[4] = c.webview2_ready;
  state.is_update = c.is_update;
  state.current_component = c.current;
  state.progress = 37;

  const ComponentRow got = row(state, TextInputs{test::test_release(), 59}, c.k);

  EXPECT_EQ(got.icon, c.icon);
  EXPECT_EQ(got.status, c.status);
  EXPECT_EQ(got.colour, c.colour);
}

INSTANTIATE_TEST_SUITE_P(Table,
                         ComponentRowTest,
                         testing::ValuesIn(kRowCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ComponentRowsTest, LabelsInOrder) {
  const char* const labels[kComponentRowCount] = {
      "操作系统与架构", "Service Pack 1",    "KB4490628",
      "KB4474419",      "WebView2 运行环境", "VelmoQen工作台",
  };
  const UiState state = test::checked_state(Screen::Ready, 0);
  for (int k = 0; k < kComponentRowCount; ++k) {
    EXPECT_EQ(row(state, TextInputs{}, k).label, labels[k]) << k;
  }
}

TEST(ComponentRowsTest, OutOfRangeRowsAreEmpty) {
  const UiState state = test::checked_state(Screen::Ready, 0);
  EXPECT_EQ(row(state, TextInputs{}, -1), ComponentRow{});
  EXPECT_EQ(row(state, TextInputs{}, kComponentRowCount), ComponentRow{});
}

TEST(ComponentRowsTest, WithoutPolicyTheMissingWorkbenchWaitsForTheServer) {
  const UiState state = test::checked_state(Screen::Ready, 0);
  EXPECT_EQ(row(state, TextInputs{}, 5).status, "未安装 · v等待检测 · 下载 等待服务器");
}

TEST(ComponentRowsTest, DownloadedWorkbenchWaitingForInstallIsPending) {
  UiState state = test::checked_state(Screen::Downloading, 0);
  state.current_component = Component::WebView2Runtime;
  state.report->present[3] = false;
  state.report->ready[5] = true;
  EXPECT_EQ(row(state, TextInputs{}, 5).icon, IconState::kPending);
}

// Every supported system shows rows 1-3 as not needed once the check is over,
// on every screen.
TEST(ComponentRowsTest, ServicingRowsAreNeverNeededAfterTheCheck) {
  const Screen screens[] = {Screen::Ready,    Screen::Downloading, Screen::InstallInProgress,
                            Screen::Finished, Screen::Failed,      Screen::WaitingForExit};
  for (Screen screen : screens) {
    UiState state = test::checked_state(screen, 0);
    state.current_component = Component::ServicePack1;
    for (int k = 1; k <= 3; ++k) {
      const ComponentRow got = row(state, TextInputs{}, k);
      EXPECT_EQ(got.icon, IconState::kOk) << k;
      EXPECT_EQ(got.status, "当前系统不需要") << k;
    }
  }
}

TEST(ComponentRowsTest, NoReportAfterTheCheckShowsUnsupported) {
  UiState state = test::checked_state(Screen::Failed, 0);
  state.report.reset();
  EXPECT_EQ(row(state, TextInputs{}, 0),
            (ComponentRow{IconState::kMissing, "操作系统与架构", "", kRed}));
  EXPECT_EQ(row(state, TextInputs{}, 4).status, "当前系统不支持");
}

}  // namespace
}  // namespace velmo
