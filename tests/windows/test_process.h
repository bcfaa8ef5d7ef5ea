#ifndef VELMO_TESTS_WINDOWS_TEST_PROCESS_H_
#define VELMO_TESTS_WINDOWS_TEST_PROCESS_H_

#include <windows.h>

#include <chrono>
#include <optional>
#include <string>

#include "platform/win/handles.h"

namespace velmo::test {

// A child process the test started; terminated when the test lets go of it
// so that no program outlives a failed test.
class ChildProcess {
 public:
  ChildProcess(UniqueHandle process, DWORD id) : process_(std::move(process)), id_(id) {}
  ~ChildProcess();
  ChildProcess(ChildProcess&&) = default;
  ChildProcess& operator=(ChildProcess&&) = default;

  DWORD id() const { return id_; }
  HANDLE handle() const { return process_.get(); }

  // The exit code once the process ended within `timeout`, else nothing.
  std::optional<DWORD> wait(std::chrono::milliseconds timeout) const;
  bool running() const;
  void terminate() const;

 private:
  UniqueHandle process_;
  DWORD id_;
};

// The Windows form of a program path handed over by CTest from Linux
// ("/work/x.exe" becomes "Z:\work\x.exe").
std::wstring windows_path_from_env(const char* variable);

// Starts `program` with the argument text `arguments` (already quoted).
std::optional<ChildProcess> start_process(const std::wstring& program,
                                          const std::wstring& arguments);

// The first visible top-level window of class `class_name` owned by the
// process, polling until `timeout`.
HWND find_process_window(DWORD process_id,
                         const wchar_t* class_name,
                         std::chrono::milliseconds timeout);

}  // namespace velmo::test

#endif  // VELMO_TESTS_WINDOWS_TEST_PROCESS_H_
