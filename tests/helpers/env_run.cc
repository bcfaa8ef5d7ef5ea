// Starts a Windows program with environment variables of the test's choice.
//
//   velmo_env_run.exe [NAME=VALUE ...] -- PROGRAM [ARGS...]
//   velmo_env_run.exe --print-env NAME      (prints the variable's value)
//   velmo_env_run.exe --print-args [ARGS...] (prints one argument a line)
//
// Wine sets ProgramData, LOCALAPPDATA and ProgramFiles(x86) itself for a
// process started from Linux, whatever the Linux environment says, but a
// Windows parent passes its own values on. So the tests start the program
// under test through this one. A VALUE or PROGRAM starting with "/" is a Linux
// path and becomes "Z:\..." first. stdin, stdout and stderr are handed to the
// program; the exit code is the program's. 120 to 123 are this helper's own
// failures (usage, environment, start, wait).
//
// The two --print modes let the tests check the environment and the quoting
// of the command line through a real CreateProcessW.
#include <windows.h>

#include <string>
#include <string_view>

#include "platform/win/handles.h"
#include "windows_args.h"

namespace {

constexpr int kUsageError = 120;
constexpr int kEnvironmentError = 121;
constexpr int kStartError = 122;
constexpr int kWaitError = 123;

using velmo::test::quote_argument;
using velmo::test::to_windows_path;
using velmo::test::write_utf8;

int report(int code, std::wstring_view what) {
  write_utf8(STD_ERROR_HANDLE, L"velmo_env_run: " + std::wstring(what) + L", error " +
                                   std::to_wstring(::GetLastError()) + L"\n");
  return code;
}

int usage() {
  write_utf8(STD_ERROR_HANDLE,
             L"usage: velmo_env_run.exe [NAME=VALUE ...] -- PROGRAM [ARGS...]\n"
             L"       velmo_env_run.exe --print-env NAME\n"
             L"       velmo_env_run.exe --print-args [ARGS...]\n");
  return kUsageError;
}

int print_env(const wchar_t* name) {
  const DWORD size = ::GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0) {
    return report(1, std::wstring(name) + L" is not set");
  }
  std::wstring value(size, L'\0');
  value.resize(::GetEnvironmentVariableW(name, value.data(), size));
  write_utf8(STD_OUTPUT_HANDLE, value + L"\n");
  return 0;
}

int print_args(int argc, wchar_t** argv, int first) {
  for (int i = first; i < argc; ++i) {
    write_utf8(STD_OUTPUT_HANDLE, std::wstring(argv[i]) + L"\n");
  }
  return 0;
}

// The standard handles go to the child only if they are inheritable; those
// Wine gives a process started from Linux are not always.
void make_std_handles_inheritable(STARTUPINFOW& startup) {
  startup.dwFlags |= STARTF_USESTDHANDLES;
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
  for (HANDLE handle : {startup.hStdInput, startup.hStdOutput, startup.hStdError}) {
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) {
      ::SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    }
  }
}

int run(int argc, wchar_t** argv) {
  int i = 1;
  for (; i < argc && std::wstring_view(argv[i]) != L"--"; ++i) {
    const std::wstring_view assignment(argv[i]);
    const size_t equals = assignment.find(L'=');
    if (equals == 0 || equals == std::wstring_view::npos) {
      return usage();
    }
    const std::wstring name(assignment.substr(0, equals));
    const std::wstring value = to_windows_path(assignment.substr(equals + 1));
    if (!::SetEnvironmentVariableW(name.c_str(), value.c_str())) {
      return report(kEnvironmentError, L"cannot set " + name);
    }
  }
  if (i + 1 >= argc) {
    return usage();
  }

  std::wstring command_line = quote_argument(to_windows_path(argv[i + 1]));
  for (int arg = i + 2; arg < argc; ++arg) {
    command_line += L' ';
    command_line += quote_argument(argv[arg]);
  }

  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  make_std_handles_inheritable(startup);
  PROCESS_INFORMATION info{};
  // No application name: the first word of the command line is looked up the
  // usual way, so "cmd.exe" works as well as a full path.
  if (!::CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &info)) {
    return report(kStartError, L"cannot start " + command_line);
  }
  const velmo::UniqueHandle process(info.hProcess);
  const velmo::UniqueHandle thread(info.hThread);

  if (::WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0) {
    return report(kWaitError, L"cannot wait for the program");
  }
  DWORD exit_code = 0;
  if (!::GetExitCodeProcess(process.get(), &exit_code)) {
    return report(kWaitError, L"cannot read the program's exit code");
  }
  return static_cast<int>(exit_code);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc >= 2 && std::wstring_view(argv[1]) == L"--print-env") {
    return argc == 3 ? print_env(argv[2]) : usage();
  }
  if (argc >= 2 && std::wstring_view(argv[1]) == L"--print-args") {
    return print_args(argc, argv, 2);
  }
  return run(argc, argv);
}
