// The workbench stand-in as the launch mode will meet it: a release's main
// program, stamped with its version, started with "--main" and watched from
// outside through the desktop's list of top-level windows.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "../unit/test_env.h"
#include "platform/win/wide.h"
#include "test_process.h"

namespace velmo {
namespace {

using namespace std::chrono_literals;

constexpr char kSettingsVariable[] = "VELMO_WORKBENCH_STANDIN";
constexpr wchar_t kTitlePrefix[] = L"VelmoQen工作台 ";
constexpr wchar_t kMainProgramName[] = L"VelmoQen工作台.exe";

struct ProcessWindow {
  HWND window;
  std::wstring title;
  bool visible;
};

struct WindowList {
  DWORD process_id;
  std::vector<ProcessWindow> windows;
};

BOOL CALLBACK collect_window(HWND window, LPARAM lparam) {
  auto* list = reinterpret_cast<WindowList*>(lparam);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  if (owner != list->process_id) {
    return TRUE;
  }
  wchar_t title[256] = {};
  ::GetWindowTextW(window, title, static_cast<int>(std::size(title)));
  list->windows.push_back({window, title, ::IsWindowVisible(window) != FALSE});
  return TRUE;
}

// Every top-level window of the process, shown or not.
std::vector<ProcessWindow> windows_of(DWORD process_id) {
  WindowList list{process_id, {}};
  ::EnumWindows(collect_window, reinterpret_cast<LPARAM>(&list));
  return list.windows;
}

std::string describe(const std::vector<ProcessWindow>& windows) {
  std::string text = std::to_string(windows.size()) + " window(s):";
  for (const ProcessWindow& window : windows) {
    text += " [" + from_wide(window.title) + (window.visible ? ", visible]" : ", hidden]");
  }
  return text;
}

enum class Shown { kAny, kOnly };

// The process's window titled `title`, once it exists (kAny) or once it is
// visible (kOnly: a window is created before it is shown, so a look in
// between sees it hidden); a window of another title does not end the wait.
std::optional<ProcessWindow> wait_for_window(const test::ChildProcess& process,
                                             const std::wstring& title,
                                             std::chrono::milliseconds timeout,
                                             Shown shown = Shown::kAny) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline && process.running()) {
    for (const ProcessWindow& window : windows_of(process.id())) {
      if (window.title == title && (shown == Shown::kAny || window.visible)) {
        return window;
      }
    }
    std::this_thread::sleep_for(50ms);
  }
  return std::nullopt;
}

bool has_visible_window(DWORD process_id) {
  for (const ProcessWindow& window : windows_of(process_id)) {
    if (window.visible) {
      return true;
    }
  }
  return false;
}

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class WorkbenchStandinTest : public testing::Test {
 protected:
  void SetUp() override {
    standin_ = test::windows_path_from_env("VELMO_WORKBENCH_STANDIN_EXE");
    ASSERT_FALSE(standin_.empty()) << "VELMO_WORKBENCH_STANDIN_EXE is not set";
    folder_ = std::filesystem::temp_directory_path() /
              ("velmo-workbench-standin-" + std::to_string(std::random_device{}()));
    std::error_code error;
    ASSERT_TRUE(std::filesystem::create_directories(folder_, error)) << error.message();
  }

  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  // A release's main program as stamp-workbench-standin.sh makes it: the
  // stand-in, `pad_mib` MiB of zero bytes, then the version trailer. Without
  // a version, the plain stand-in under the release's file name.
  std::wstring make_main_program(const std::string& release,
                                 const std::optional<std::string>& version,
                                 size_t pad_mib) {
    const std::filesystem::path folder = folder_ / release;
    const std::filesystem::path program = folder / kMainProgramName;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    std::filesystem::copy_file(standin_, program, error);
    EXPECT_FALSE(error) << "copy: " << error.message();
    std::ofstream out(program, std::ios::binary | std::ios::app);
    const std::string mebibyte(1024 * 1024, '\0');
    for (size_t i = 0; i < pad_mib; ++i) {
      out << mebibyte;
    }
    if (version) {
      out << "\nvelmo-standin-version=" << *version << "\n";
    }
    EXPECT_TRUE(out.good()) << "cannot append to " << program;
    return program.wstring();
  }

  // Starts `program` with the stand-in's settings in its environment only:
  // the variable is this process's again once the child has it.
  static std::optional<test::ChildProcess> start(const std::wstring& program,
                                                 const std::string& settings,
                                                 const std::wstring& arguments) {
    const test::ScopedEnv env(kSettingsVariable, settings);
    std::optional<test::ChildProcess> process = test::start_process(program, arguments);
    EXPECT_TRUE(process.has_value()) << "CreateProcess failed: " << ::GetLastError();
    return process;
  }

  // The exit code of a run expected to end by itself.
  static std::optional<DWORD> run(const std::wstring& program,
                                  const std::string& settings,
                                  const std::wstring& arguments) {
    const std::optional<test::ChildProcess> process = start(program, settings, arguments);
    return process ? process->wait(20s) : std::nullopt;
  }

  std::wstring standin_;
  std::filesystem::path folder_;
};

struct TitleCase {
  const char* name;
  std::optional<std::string> stamped;
  size_t pad_mib;
  std::wstring title;
};

class WorkbenchStandinTitleTest : public WorkbenchStandinTest,
                                  public testing::WithParamInterface<TitleCase> {};

// The version read from the program's own last bytes, past any padding, is
// in the title of the window it shows; a copy without a trailer (or with one
// that is not a version) is 0.0.0. Closing the window ends it with 0.
TEST_P(WorkbenchStandinTitleTest, ShowsItsVersionUntilClosed) {
  const TitleCase& c = GetParam();
  const std::optional<test::ChildProcess> process =
      start(make_main_program(c.name, c.stamped, c.pad_mib), "", L"--main");
  ASSERT_TRUE(process.has_value());

  const std::optional<ProcessWindow> window =
      wait_for_window(*process, kTitlePrefix + c.title, 20s, Shown::kOnly);
  ASSERT_TRUE(window.has_value()) << describe(windows_of(process->id()));

  ::PostMessageW(window->window, WM_CLOSE, 0, 0);
  EXPECT_EQ(process->wait(10s), std::optional<DWORD>(0));
}

INSTANTIATE_TEST_SUITE_P(
    Releases,
    WorkbenchStandinTitleTest,
    testing::Values(TitleCase{"release_1_0_0", "1.0.0", 0, L"1.0.0"},
                    TitleCase{"release_1_1_0_padded", "1.1.0", 24, L"1.1.0"},
                    TitleCase{"unstamped", std::nullopt, 0, L"0.0.0"},
                    TitleCase{"trailer_without_a_version", "1.1.0-beta", 0, L"0.0.0"}),
    [](const testing::TestParamInfo<TitleCase>& info) { return std::string(info.param.name); });

struct ExitCase {
  const char* name;
  std::string settings;
  std::wstring arguments;
  DWORD exit_code;
};

class WorkbenchStandinExitTest : public WorkbenchStandinTest,
                                 public testing::WithParamInterface<ExitCase> {};

// These runs end on their own, and never show a window before they do.
TEST_P(WorkbenchStandinExitTest, EndsWithoutAWindow) {
  const ExitCase& c = GetParam();
  const std::optional<test::ChildProcess> process = start(standin_, c.settings, c.arguments);
  ASSERT_TRUE(process.has_value());

  bool shown = false;
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  while (process->running() && std::chrono::steady_clock::now() < deadline) {
    shown = shown || has_visible_window(process->id());
    std::this_thread::sleep_for(20ms);
  }
  EXPECT_EQ(process->wait(0ms), std::optional<DWORD>(c.exit_code))
      << describe(windows_of(process->id()));
  EXPECT_FALSE(shown);
}

INSTANTIATE_TEST_SUITE_P(
    Runs,
    WorkbenchStandinExitTest,
    testing::Values(ExitCase{"exit_setting", "exit=7", L"--main", 7},
                    ExitCase{"negative_exit_setting", "exit=-1073741819", L"--main", 0xC0000005},
                    ExitCase{"no_arguments", "", L"", 64},
                    ExitCase{"arguments_without_main", "", L"--project C:\\p main", 64},
                    ExitCase{"unknown_setting", "visible", L"--main", 87},
                    ExitCase{"bad_seconds", "seconds=soon", L"--main", 87},
                    ExitCase{"empty_item", "hidden,,seconds=5", L"--main", 87}),
    [](const testing::TestParamInfo<ExitCase>& info) { return std::string(info.param.name); });

// "hidden": the main window exists but is never shown, and the program keeps
// running, as a workbench started invisibly would.
TEST_F(WorkbenchStandinTest, HiddenWindowExistsButIsNeverShown) {
  const std::optional<test::ChildProcess> process = start(standin_, "hidden,seconds=60", L"--main");
  ASSERT_TRUE(process.has_value());

  const std::optional<ProcessWindow> window =
      wait_for_window(*process, std::wstring(kTitlePrefix) + L"0.0.0", 20s);
  ASSERT_TRUE(window.has_value()) << describe(windows_of(process->id()));
  std::this_thread::sleep_for(2s);
  EXPECT_TRUE(process->running());
  EXPECT_FALSE(has_visible_window(process->id())) << describe(windows_of(process->id()));
}

// "seconds": a window nobody closes ends the program with 0 after that time.
TEST_F(WorkbenchStandinTest, EndsAfterItsSeconds) {
  const auto started = std::chrono::steady_clock::now();
  const std::optional<test::ChildProcess> process = start(standin_, "seconds=2", L"--main");
  ASSERT_TRUE(process.has_value());

  ASSERT_TRUE(wait_for_window(*process, std::wstring(kTitlePrefix) + L"0.0.0", 20s).has_value());
  EXPECT_EQ(process->wait(20s), std::optional<DWORD>(0));
  EXPECT_GE(std::chrono::steady_clock::now() - started, 2s);
}

// "log": one UTF-8 line a run, with the arguments and the working directory,
// whether the run shows a window or not.
TEST_F(WorkbenchStandinTest, LogsArgumentsAndWorkingDirectory) {
  const std::filesystem::path log = folder_ / L"启动.log";
  const std::string settings = "exit=0,log=" + from_wide(log.wstring());

  EXPECT_EQ(run(standin_, settings, L"--main \"工作台 项目\""), std::optional<DWORD>(0));
  EXPECT_EQ(run(standin_, "log=" + from_wide(log.wstring()), L""), std::optional<DWORD>(64));

  const std::string cwd = from_wide(std::filesystem::current_path().wstring());
  EXPECT_EQ(read_file(log),
            "args=--main 工作台 项目 cwd=" + cwd + "\n" + "args= cwd=" + cwd + "\n");
}

}  // namespace
}  // namespace velmo
