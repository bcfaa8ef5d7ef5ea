// Runs the real assistant under the test display and looks at its window from
// outside, the way the user's desktop sees it.
#include <gtest/gtest.h>

#include <windows.h>

#include "platform/win/wide.h"
#include "test_process.h"
#include "ui/main_window.h"

namespace velmo {
namespace {

using namespace std::chrono_literals;

class AssistantWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    assistant_ = test::windows_path_from_env("VELMO_ASSISTANT_EXE");
    ASSERT_FALSE(assistant_.empty()) << "VELMO_ASSISTANT_EXE is not set";
  }

  std::optional<test::ChildProcess> start(const std::wstring& arguments) {
    return test::start_process(assistant_, arguments);
  }

  std::wstring assistant_;
};

std::wstring title_of(HWND window) {
  wchar_t title[256] = {};
  ::GetWindowTextW(window, title, static_cast<int>(std::size(title)));
  return title;
}

void expect_centred(HWND window, int width, int height) {
  RECT rect{};
  ASSERT_TRUE(::GetWindowRect(window, &rect));
  EXPECT_EQ(rect.right - rect.left, width);
  EXPECT_EQ(rect.bottom - rect.top, height);
  EXPECT_EQ(rect.left, (::GetSystemMetrics(SM_CXSCREEN) - width) / 2);
  EXPECT_EQ(rect.top, (::GetSystemMetrics(SM_CYSCREEN) - height) / 2);
}

void expect_popup_window_class(HWND window) {
  const auto style = static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_STYLE));
  const auto ex_style = static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_EXSTYLE));
  EXPECT_TRUE(style & WS_POPUP);
  EXPECT_FALSE(style & WS_CAPTION);
  EXPECT_FALSE(style & WS_THICKFRAME);
  EXPECT_TRUE(ex_style & WS_EX_APPWINDOW);
  EXPECT_EQ(::GetClassLongPtrW(window, GCL_STYLE), 0x20003);
}

// Closes through WM_CLOSE and expects the process to end with code 0.
void close_and_expect_exit_zero(const test::ChildProcess& process, HWND window) {
  ::PostMessageW(window, WM_CLOSE, 0, 0);
  const std::optional<DWORD> code = process.wait(10s);
  ASSERT_TRUE(code.has_value()) << "the assistant did not end after WM_CLOSE";
  EXPECT_EQ(*code, 0u);
}

struct WindowCase {
  const char* name;
  std::wstring arguments;
  std::wstring title;
  int width;
  int height;
};

class AssistantWindowShapeTest : public AssistantWindowTest,
                                 public testing::WithParamInterface<WindowCase> {};

// Each run mode shows one centred popup window of the assistant's class.
TEST_P(AssistantWindowShapeTest, ShowsItsCentredPopupWindow) {
  const WindowCase& c = GetParam();
  auto process = start(c.arguments);
  ASSERT_TRUE(process.has_value()) << "CreateProcess failed: " << ::GetLastError();
  HWND window = test::find_process_window(process->id(), kWindowClassName, 20s);
  ASSERT_NE(window, nullptr) << "no window of class VelmoOnlineBootstrapperPreview";
  EXPECT_EQ(title_of(window), c.title);
  expect_centred(window, c.width, c.height);
  expect_popup_window_class(window);
  close_and_expect_exit_zero(*process, window);
}

INSTANTIATE_TEST_SUITE_P(
    Modes,
    AssistantWindowShapeTest,
    testing::Values(WindowCase{"Assistant", L"", L"Velmo Qen 工作台智能安装引导器", 720, 620},
                    WindowCase{"AssistantWithInstallDir", L"--install-dir \"C:\\Velmo IDE\"",
                               L"Velmo Qen 工作台智能安装引导器", 720, 620},
                    WindowCase{"Preview", L"--preview-startup", L"Velmo Qen 工作台", 620, 250},
                    WindowCase{"LaunchWithoutInstallation", L"--launch-main", L"Velmo Qen 工作台",
                               620, 250}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AssistantWindowTest, EscapeClosesTheWindow) {
  auto process = start(L"--preview-startup --launch-main");
  ASSERT_TRUE(process.has_value());
  HWND window = test::find_process_window(process->id(), kWindowClassName, 20s);
  ASSERT_NE(window, nullptr);
  ::PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0);
  const std::optional<DWORD> code = process->wait(10s);
  ASSERT_TRUE(code.has_value());
  EXPECT_EQ(*code, 0u);
}

TEST_F(AssistantWindowTest, WaitsForTheGivenProcessBeforeShowingItsWindow) {
  const std::wstring sleeper_exe = test::windows_path_from_env("VELMO_SLEEPER_EXE");
  ASSERT_FALSE(sleeper_exe.empty());
  auto sleeper = test::start_process(sleeper_exe, L"60000");
  ASSERT_TRUE(sleeper.has_value());

  auto process = start(L"--preview-startup --wait-for-process " + std::to_wstring(sleeper->id()));
  ASSERT_TRUE(process.has_value());
  EXPECT_EQ(test::find_process_window(process->id(), kWindowClassName, 2s), nullptr)
      << "the window appeared while the awaited process was still running";
  EXPECT_TRUE(process->running());

  sleeper->terminate();
  HWND window = test::find_process_window(process->id(), kWindowClassName, 20s);
  ASSERT_NE(window, nullptr) << "no window after the awaited process ended";
  close_and_expect_exit_zero(*process, window);
}

TEST_F(AssistantWindowTest, UnparsableWaitOperandDoesNotWait) {
  auto process = start(L"--preview-startup --wait-for-process 12a");
  ASSERT_TRUE(process.has_value());
  HWND window = test::find_process_window(process->id(), kWindowClassName, 20s);
  ASSERT_NE(window, nullptr);
  close_and_expect_exit_zero(*process, window);
}

}  // namespace
}  // namespace velmo
