#include <windows.h>

#include "platform/os_error.h"
#include "platform/win/wide.h"

namespace velmo {

namespace {

// The system's text for a Windows error code, without the trailing line break
// FormatMessage appends.
std::string system_error_text(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  if (length == 0 || buffer == nullptr) {
    return "未知错误";
  }
  std::wstring_view text(buffer, length);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) {
    text.remove_suffix(1);
  }
  std::string utf8 = from_wide(text);
  ::LocalFree(buffer);
  return utf8;
}

}  // namespace

OsError os_error_from_code(uint32_t code) {
  return OsError{code, system_error_text(code)};
}

OsError last_os_error() {
  // Read the code before anything else can overwrite it.
  const DWORD code = ::GetLastError();
  return os_error_from_code(code);
}

OsError access_denied() {
  return os_error_from_code(ERROR_ACCESS_DENIED);
}

OsError unexpected_end_of_file() {
  return os_error_from_code(ERROR_HANDLE_EOF);
}

}  // namespace velmo
