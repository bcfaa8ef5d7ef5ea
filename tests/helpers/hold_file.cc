// Keeps a file open the way a running program or a virus scanner does, so
// that the tests can see what the assistant does with a file it cannot
// delete or replace.
//
//   velmo_hold_file.exe PATH [SECONDS]
//
// Opens PATH sharing only reads (no FILE_SHARE_DELETE, no FILE_SHARE_WRITE),
// prints "held" on stdout and keeps it open until stdin ends or SECONDS
// (default 120) have passed, whichever comes first. Exit 0 when stdin ended,
// 3 on the time limit, 2 when the file cannot be opened. A path starting
// with "/" is a Linux path.
#include <windows.h>

#include <cwchar>
#include <string>
#include <string_view>

#include "platform/win/handles.h"
#include "windows_args.h"

namespace {

constexpr int kCannotOpen = 2;
constexpr int kTimedOut = 3;

DWORD WINAPI drain_stdin(void*) {
  char buffer[256];
  DWORD got = 0;
  while (::ReadFile(::GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof(buffer), &got, nullptr) &&
         got > 0) {
  }
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2 || argc > 3) {
    velmo::test::write_utf8(STD_ERROR_HANDLE, L"usage: velmo_hold_file.exe PATH [SECONDS]\n");
    return kCannotOpen;
  }
  const std::wstring path = velmo::test::to_windows_path(argv[1]);
  const unsigned long seconds = argc == 3 ? std::wcstoul(argv[2], nullptr, 10) : 120;

  const velmo::UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    velmo::test::write_utf8(STD_ERROR_HANDLE, L"velmo_hold_file: cannot open " + path +
                                                  L", error " + std::to_wstring(::GetLastError()) +
                                                  L"\n");
    return kCannotOpen;
  }
  const velmo::UniqueHandle reader(::CreateThread(nullptr, 0, drain_stdin, nullptr, 0, nullptr));
  velmo::test::write_utf8(STD_OUTPUT_HANDLE, L"held\n");
  // Without the reader thread there is nothing to wait for but the clock.
  if (!reader) {
    ::Sleep(seconds * 1000);
    return kTimedOut;
  }
  return ::WaitForSingleObject(reader.get(), seconds * 1000) == WAIT_OBJECT_0 ? 0 : kTimedOut;
}
