// One request through WinHTTP, the stack the assistant uses, so the network
// bench can be checked from the Windows side without the assistant's code:
// is the test CA trusted, does the server answer a Range, where does a
// transfer break.
//
//   velmo_http_get.exe [--head] [--range OFFSET] URL
//
// Prints one line: status=NNN length=CONTENT-LENGTH|none body=BYTES, then
// "error=CODE" if reading the body failed. Exit 0 when the request got a
// status line and the body was read to its end, 1 when the request or the
// body failed (the error code is printed), 2 on a usage error.
#include <windows.h>

#include <winhttp.h>

#include <cwchar>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win/handles.h"
#include "windows_args.h"

namespace {

constexpr int kFailed = 1;
constexpr int kUsage = 2;

using velmo::UniqueInternet;
using velmo::test::write_utf8;

int failed(std::wstring_view step) {
  const DWORD code = ::GetLastError();
  write_utf8(STD_OUTPUT_HANDLE,
             L"failed=" + std::wstring(step) + L" error=" + std::to_wstring(code) + L"\n");
  return kFailed;
}

int usage() {
  write_utf8(STD_ERROR_HANDLE, L"usage: velmo_http_get.exe [--head] [--range OFFSET] URL\n");
  return kUsage;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  bool head = false;
  std::wstring range;
  int i = 1;
  for (; i < argc - 1; ++i) {
    const std::wstring_view option(argv[i]);
    if (option == L"--head") {
      head = true;
    } else if (option == L"--range" && i + 1 < argc - 1) {
      range = L"Range: bytes=" + std::wstring(argv[++i]) + L"-";
    } else {
      return usage();
    }
  }
  if (i != argc - 1) {
    return usage();
  }

  std::wstring url(argv[i]);
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof(parts);
  parts.dwHostNameLength = static_cast<DWORD>(-1);
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (!::WinHttpCrackUrl(url.c_str(), 0, 0, &parts)) {
    return failed(L"crack-url");
  }
  const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
  const std::wstring path = std::wstring(parts.lpszUrlPath, parts.dwUrlPathLength) +
                            std::wstring(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  const bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;

  UniqueInternet session(::WinHttpOpen(L"velmo-http-get", WINHTTP_ACCESS_TYPE_NO_PROXY,
                                       WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session) {
    return failed(L"open");
  }
  ::WinHttpSetTimeouts(session.get(), 10000, 10000, 10000, 30000);
  UniqueInternet connection(::WinHttpConnect(session.get(), host.c_str(), parts.nPort, 0));
  if (!connection) {
    return failed(L"connect");
  }
  UniqueInternet request(::WinHttpOpenRequest(
      connection.get(), head ? L"HEAD" : L"GET", path.c_str(), nullptr, WINHTTP_NO_REFERER,
      WINHTTP_DEFAULT_ACCEPT_TYPES, secure ? WINHTTP_FLAG_SECURE : 0));
  if (!request) {
    return failed(L"open-request");
  }
  if (!range.empty() &&
      !::WinHttpAddRequestHeaders(request.get(), range.c_str(), static_cast<DWORD>(-1),
                                  WINHTTP_ADDREQ_FLAG_ADD)) {
    return failed(L"add-range");
  }
  if (!::WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                            WINHTTP_NO_REQUEST_DATA, 0, 0, 0)) {
    return failed(L"send");
  }
  if (!::WinHttpReceiveResponse(request.get(), nullptr)) {
    return failed(L"receive");
  }

  DWORD status = 0;
  DWORD size = sizeof(status);
  if (!::WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size,
                             WINHTTP_NO_HEADER_INDEX)) {
    return failed(L"status");
  }
  wchar_t length[32] = L"none";
  size = sizeof(length);
  ::WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX,
                        length, &size, WINHTTP_NO_HEADER_INDEX);

  unsigned long long body = 0;
  std::vector<char> buffer(65536);
  DWORD error = 0;
  for (;;) {
    DWORD got = 0;
    if (!::WinHttpReadData(request.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got)) {
      error = ::GetLastError();
      break;
    }
    if (got == 0) {
      break;
    }
    body += got;
  }
  std::wstring line = L"status=" + std::to_wstring(status) + L" length=" + length + L" body=" +
                      std::to_wstring(body);
  if (error != 0) {
    line += L" error=" + std::to_wstring(error);
  }
  write_utf8(STD_OUTPUT_HANDLE, line + L"\n");
  return error == 0 ? 0 : kFailed;
}
