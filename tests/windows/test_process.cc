#include "test_process.h"

#include <cstdlib>
#include <thread>

#include "platform/win/wide.h"

namespace velmo::test {

ChildProcess::~ChildProcess() {
  if (process_ && running()) {
    terminate();
    ::WaitForSingleObject(process_.get(), 5000);
  }
}

std::optional<DWORD> ChildProcess::wait(std::chrono::milliseconds timeout) const {
  if (::WaitForSingleObject(process_.get(), static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0) {
    return std::nullopt;
  }
  DWORD code = 0;
  ::GetExitCodeProcess(process_.get(), &code);
  return code;
}

bool ChildProcess::running() const {
  return ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

void ChildProcess::terminate() const {
  ::TerminateProcess(process_.get(), 99);
}

std::wstring windows_path_from_env(const char* variable) {
  const char* value = std::getenv(variable);
  if (value == nullptr || *value == '\0') {
    return {};
  }
  std::wstring path = to_wide(value);
  if (!path.empty() && path[0] == L'/') {
    path.insert(0, L"Z:");
  }
  for (wchar_t& c : path) {
    if (c == L'/') {
      c = L'\\';
    }
  }
  return path;
}

std::optional<ChildProcess> start_process(const std::wstring& program,
                                          const std::wstring& arguments) {
  std::wstring command_line = L"\"" + program + L"\"";
  if (!arguments.empty()) {
    command_line += L" " + arguments;
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  if (!::CreateProcessW(program.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info)) {
    return std::nullopt;
  }
  ::CloseHandle(info.hThread);
  return ChildProcess(UniqueHandle(info.hProcess), info.dwProcessId);
}

namespace {

struct WindowSearch {
  DWORD process_id;
  const wchar_t* class_name;
  HWND found;
};

BOOL CALLBACK match_window(HWND window, LPARAM lparam) {
  auto* search = reinterpret_cast<WindowSearch*>(lparam);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  if (owner != search->process_id || !::IsWindowVisible(window)) {
    return TRUE;
  }
  wchar_t name[256] = {};
  ::GetClassNameW(window, name, static_cast<int>(std::size(name)));
  if (std::wstring_view(name) != search->class_name) {
    return TRUE;
  }
  search->found = window;
  return FALSE;
}

}  // namespace

HWND find_process_window(DWORD process_id,
                         const wchar_t* class_name,
                         std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    WindowSearch search{process_id, class_name, nullptr};
    ::EnumWindows(match_window, reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr || std::chrono::steady_clock::now() >= deadline) {
      return search.found;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

}  // namespace velmo::test
