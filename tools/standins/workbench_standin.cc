// Takes the place of the workbench's main program ("VelmoQen工作台.exe") in
// test releases. Started with "--main" it opens one top-level window titled
// "VelmoQen工作台 {version}" and runs until the window is closed or its time
// is up, both with exit code 0; without "--main" it exits 64 at once.
//
// The version comes from the program's own last bytes,
// "\nvelmo-standin-version={version}\n" (stamp-workbench-standin.sh appends
// it, after optional zero padding); without them it is 0.0.0. Windows loads
// only what the PE headers describe, so one build serves every release
// version and size the tests need.
//
// VELMO_WORKBENCH_STANDIN, a comma-separated list (unset or empty: defaults):
//   exit=N      exit with N before any window exists
//   hidden      create the window but never show it
//   seconds=N   end after N seconds (default 600)
//   log=PATH    append "args=ARGS cwd=DIR" as one UTF-8 line
// A setting it does not understand: exit 87, nothing logged. A log line it
// cannot write: 74; a window it cannot create: 75.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "own_program.h"
#include "platform/win/handles.h"
#include "standin_log.h"
#include "standin_options.h"

namespace {

constexpr wchar_t kSettingsVariable[] = L"VELMO_WORKBENCH_STANDIN";
constexpr wchar_t kMainArgument[] = L"--main";
constexpr wchar_t kWindowClass[] = L"VelmoWorkbenchStandin";
constexpr wchar_t kTitlePrefix[] = L"VelmoQen工作台 ";
constexpr wchar_t kUnstampedVersion[] = L"0.0.0";
constexpr std::string_view kTrailerKey = "\nvelmo-standin-version=";
// More than any trailer the stamp script writes; the rest of the file, which
// may be hundreds of MiB of padding, is never read.
constexpr DWORD kTrailerReadLimit = 128;

constexpr int kNotMainMode = 64;
constexpr int kCannotLog = 74;
constexpr int kNoWindow = 75;
constexpr UINT_PTR kLifetimeTimer = 1;

struct Behaviour {
  std::optional<int32_t> exit_code;
  bool hidden = false;
  DWORD seconds = 600;
  std::wstring log_path;
};

bool apply_value_setting(const std::wstring& name, const std::wstring& value, Behaviour& out) {
  if (name == L"exit") {
    out.exit_code = velmo::standin::parse_int32(value);
    return out.exit_code.has_value();
  }
  if (name == L"seconds") {
    const std::optional<DWORD> seconds = velmo::standin::parse_seconds(value);
    out.seconds = seconds.value_or(0);
    return seconds.has_value();
  }
  if (name == L"log") {
    out.log_path = value;
    return !value.empty();
  }
  return false;
}

std::optional<Behaviour> read_behaviour() {
  return velmo::standin::read_settings<Behaviour>(
      kSettingsVariable, L"hidden", [](Behaviour& behaviour) { behaviour.hidden = true; },
      apply_value_setting);
}

// The last bytes of the file, at most `limit`; empty when it cannot be read.
std::string read_tail(const std::wstring& path, DWORD limit) {
  const velmo::UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                               FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size{};
  if (!file || !::GetFileSizeEx(file.get(), &size)) {
    return {};
  }
  const DWORD count = size.QuadPart < limit ? static_cast<DWORD>(size.QuadPart) : limit;
  LARGE_INTEGER start{};
  start.QuadPart = size.QuadPart - count;
  std::string tail(count, '\0');
  DWORD got = 0;
  if (!::SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN) ||
      !::ReadFile(file.get(), tail.data(), count, &got, nullptr) || got != count) {
    return {};
  }
  return tail;
}

std::wstring stamped_version() {
  const std::string tail = read_tail(velmo::standin::own_program_path(), kTrailerReadLimit);
  if (tail.empty() || tail.back() != '\n') {
    return kUnstampedVersion;
  }
  const size_t key = tail.rfind(kTrailerKey, tail.size() - 1);
  if (key == std::string::npos) {
    return kUnstampedVersion;
  }
  const size_t first = key + kTrailerKey.size();
  const std::wstring version(tail.begin() + static_cast<ptrdiff_t>(first), tail.end() - 1);
  return velmo::standin::is_dotted_version(version) ? version : kUnstampedVersion;
}

std::wstring current_directory() {
  const DWORD size = ::GetCurrentDirectoryW(0, nullptr);
  std::wstring directory(size, L'\0');
  directory.resize(::GetCurrentDirectoryW(size, directory.data()));
  return directory;
}

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_TIMER:
      if (wparam == kLifetimeTimer) {
        ::DestroyWindow(window);
      }
      return 0;
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    default:
      return ::DefWindowProcW(window, message, wparam, lparam);
  }
}

// The window ends itself (WM_CLOSE, or the lifetime timer), and the message
// loop ends with it. nCmdShow is honoured as the real program does, so a
// launcher asking for a hidden start gets an invisible workbench here too.
int run_main_window(HINSTANCE instance, const Behaviour& behaviour, int show) {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof(window_class);
  window_class.lpfnWndProc = window_procedure;
  window_class.hInstance = instance;
  window_class.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  window_class.lpszClassName = kWindowClass;
  if (::RegisterClassExW(&window_class) == 0) {
    return kNoWindow;
  }
  const std::wstring title = kTitlePrefix + stamped_version();
  HWND window =
      ::CreateWindowExW(0, kWindowClass, title.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                        CW_USEDEFAULT, 800, 500, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) {
    return kNoWindow;
  }
  ::SetTimer(window, kLifetimeTimer, behaviour.seconds * 1000, nullptr);
  if (!behaviour.hidden) {
    ::ShowWindow(window, show);
    ::UpdateWindow(window);
  }
  MSG message{};
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  const std::optional<Behaviour> behaviour = read_behaviour();
  if (!behaviour) {
    return velmo::standin::kMalformedSettings;
  }
  const std::vector<std::wstring> arguments = velmo::standin::program_arguments();
  if (!behaviour->log_path.empty() &&
      !velmo::standin::append_line(
          behaviour->log_path,
          L"args=" + velmo::standin::join_arguments(arguments) + L" cwd=" + current_directory())) {
    return kCannotLog;
  }
  if (behaviour->exit_code) {
    return *behaviour->exit_code;
  }
  bool main_mode = false;
  for (const std::wstring& argument : arguments) {
    main_mode = main_mode || argument == kMainArgument;
  }
  if (!main_mode) {
    return kNotMainMode;
  }
  return run_main_window(instance, *behaviour, show);
}
