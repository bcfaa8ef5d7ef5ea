// Argument handling shared by the Windows helper programs of the tests: Linux
// paths from the test scripts, and command lines for CreateProcessW.
#ifndef VELMO_TESTS_HELPERS_WINDOWS_ARGS_H_
#define VELMO_TESTS_HELPERS_WINDOWS_ARGS_H_

#include <windows.h>

#include <string>
#include <string_view>

namespace velmo::test {

// The scripts hand over Linux paths; Wine shows the Linux root as drive Z:.
// Anything not starting with "/" is already a Windows path or plain text.
inline std::wstring to_windows_path(std::wstring_view text) {
  if (text.empty() || text.front() != L'/') {
    return std::wstring(text);
  }
  std::wstring path = L"Z:";
  for (const wchar_t c : text) {
    path.push_back(c == L'/' ? L'\\' : c);
  }
  return path;
}

// One argument as CommandLineToArgvW (and the C runtime) split it again:
// backslashes are literal unless they precede a quote, so a run of them is
// doubled before a quote and before the closing quote.
inline std::wstring quote_argument(std::wstring_view arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring_view::npos) {
    return std::wstring(arg);
  }
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (const wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    if (c == L'"') {
      quoted.append(backslashes * 2 + 1, L'\\');
    } else {
      quoted.append(backslashes, L'\\');
    }
    backslashes = 0;
    quoted.push_back(c);
  }
  quoted.append(backslashes * 2, L'\\');
  quoted.push_back(L'"');
  return quoted;
}

// Writes UTF-8 straight to a standard handle: the C runtime's text mode would
// turn "\n" into "\r\n" and narrow wide text through the console code page.
inline void write_utf8(DWORD std_handle, std::wstring_view text) {
  if (text.empty()) {
    return;
  }
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  if (size <= 0) {
    return;
  }
  std::string utf8(static_cast<size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), size,
                        nullptr, nullptr);
  DWORD written = 0;
  ::WriteFile(::GetStdHandle(std_handle), utf8.data(), static_cast<DWORD>(utf8.size()), &written,
              nullptr);
}

}  // namespace velmo::test

#endif  // VELMO_TESTS_HELPERS_WINDOWS_ARGS_H_
