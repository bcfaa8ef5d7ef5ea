// What a stand-in tells the tests about how it was started: its arguments,
// appended as one UTF-8 line to a file of the test's choice. A missing line
// proves the program never ran; two lines, that it ran twice.
#ifndef VELMO_TOOLS_STANDINS_STANDIN_LOG_H_
#define VELMO_TOOLS_STANDINS_STANDIN_LOG_H_

#include <windows.h>

#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win/handles.h"

namespace velmo::standin {

// The arguments after the program name, as the C runtime split them.
inline std::vector<std::wstring> program_arguments() {
  std::vector<std::wstring> arguments;
  for (int i = 1; i < __argc; ++i) {
    arguments.emplace_back(__wargv[i]);
  }
  return arguments;
}

inline std::wstring join_arguments(const std::vector<std::wstring>& arguments) {
  std::wstring text;
  for (const std::wstring& argument : arguments) {
    if (!text.empty()) {
      text += L' ';
    }
    text += argument;
  }
  return text;
}

// FILE_APPEND_DATA alone makes every write land at the end, even when a
// second stand-in appends to the same file at the same time.
inline bool append_line(const std::wstring& path, std::wstring_view line) {
  const std::wstring text = std::wstring(line) + L"\n";
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  if (size <= 0) {
    return false;
  }
  std::string utf8(static_cast<size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), size,
                        nullptr, nullptr);
  const UniqueHandle file(::CreateFileW(path.c_str(), FILE_APPEND_DATA,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    return false;
  }
  DWORD written = 0;
  return ::WriteFile(file.get(), utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr) &&
         written == utf8.size();
}

}  // namespace velmo::standin

#endif  // VELMO_TOOLS_STANDINS_STANDIN_LOG_H_
