#include <windows.h>

#include <winhttp.h>

#include <algorithm>
#include <string>

#include "platform/http.h"
#include "platform/os_error.h"
#include "platform/secure_protocols.h"
#include "platform/win/handles.h"
#include "platform/win/wide.h"

namespace velmo {

namespace {

static_assert(kSecureProtocolTls12 == WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2);
static_assert(kSecureProtocolTls13 == WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3);

OsStatus set_secure_protocols(HINTERNET session, uint32_t protocols) {
  DWORD value = protocols;
  if (!::WinHttpSetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &value, sizeof(value))) {
    return std::unexpected(last_os_error());
  }
  return {};
}

class WinHttpResponse : public HttpResponse {
 public:
  WinHttpResponse(UniqueInternet session,
                  UniqueInternet connection,
                  UniqueInternet request,
                  uint32_t status,
                  const HttpStages& stages)
      : session_(std::move(session)),
        connection_(std::move(connection)),
        request_(std::move(request)),
        status_(status),
        stages_(stages) {}

  ~WinHttpResponse() override {
    // Request, then connection, then session.
    request_.reset();
    connection_.reset();
    session_.reset();
  }

  uint32_t status() const override { return status_; }

  std::optional<uint32_t> content_length() override {
    DWORD length = 0;
    DWORD size = sizeof(length);
    if (!::WinHttpQueryHeaders(
            request_.get(), WINHTTP_QUERY_CONTENT_LENGTH | WINHTTP_QUERY_FLAG_NUMBER,
            WINHTTP_HEADER_NAME_BY_INDEX, &length, &size, WINHTTP_NO_HEADER_INDEX)) {
      return std::nullopt;
    }
    return length;
  }

  Result<uint64_t> data_available() override {
    DWORD available = 0;
    if (!::WinHttpQueryDataAvailable(request_.get(), &available)) {
      return fail(format_os_error(stages_.query_data));
    }
    return available;
  }

  Result<size_t> read(std::span<std::byte> buffer) override {
    const DWORD wanted = static_cast<DWORD>(std::min<size_t>(buffer.size(), MAXDWORD));
    DWORD got = 0;
    if (!::WinHttpReadData(request_.get(), buffer.data(), wanted, &got)) {
      return fail(format_os_error(stages_.read_data));
    }
    return static_cast<size_t>(got);
  }

 private:
  UniqueInternet session_;
  UniqueInternet connection_;
  UniqueInternet request_;
  uint32_t status_;
  HttpStages stages_;
};

}  // namespace

Result<std::unique_ptr<HttpResponse>> open_http(const HttpRequest& request) {
  const HttpStages& stages = request.stages;
  const std::wstring agent = to_wide(kUserAgent);
  UniqueInternet session(::WinHttpOpen(agent.c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                       WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session) {
    return fail(format_os_error(stages.open_session));
  }
  const HttpTimeouts& t = request.timeouts;
  ::WinHttpSetTimeouts(session.get(), static_cast<int>(t.resolve), static_cast<int>(t.connect),
                       static_cast<int>(t.send), static_cast<int>(t.receive));
  if (request.secure) {
    const Status offered = offer_secure_protocols(
        [&session](uint32_t protocols) { return set_secure_protocols(session.get(), protocols); },
        stages.send);
    if (!offered) {
      return fail(offered.error());
    }
  }

  UniqueInternet connection(
      ::WinHttpConnect(session.get(), to_wide(request.host).c_str(), request.port, 0));
  if (!connection) {
    return fail(format_os_error(stages.connect));
  }

  const std::wstring verb = to_wide(request.verb);
  const std::wstring path = to_wide(request.path);
  UniqueInternet handle(::WinHttpOpenRequest(connection.get(), verb.c_str(), path.c_str(), nullptr,
                                             WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                             request.secure ? WINHTTP_FLAG_SECURE : 0));
  if (!handle) {
    return fail(format_os_error(stages.open_request));
  }

  if (request.range_offset) {
    const std::wstring header = L"Range: bytes=" + std::to_wstring(*request.range_offset) + L"-";
    if (!::WinHttpAddRequestHeaders(handle.get(), header.c_str(), static_cast<DWORD>(-1),
                                    WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE)) {
      return fail(format_os_error(stages.add_range));
    }
  }

  if (!::WinHttpSendRequest(handle.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA,
                            0, 0, 0)) {
    return fail(format_os_error(stages.send));
  }
  if (!::WinHttpReceiveResponse(handle.get(), nullptr)) {
    return fail(format_os_error(stages.receive));
  }
  DWORD status = 0;
  DWORD size = sizeof(status);
  if (!::WinHttpQueryHeaders(handle.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size,
                             WINHTTP_NO_HEADER_INDEX)) {
    return fail(format_os_error(stages.status));
  }
  return std::make_unique<WinHttpResponse>(std::move(session), std::move(connection),
                                           std::move(handle), status, stages);
}

}  // namespace velmo
