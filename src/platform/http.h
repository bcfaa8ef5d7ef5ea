#ifndef VELMO_PLATFORM_HTTP_H_
#define VELMO_PLATFORM_HTTP_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/result.h"

namespace velmo {

// Time-outs in milliseconds, in the order the HTTP layer applies them.
struct HttpTimeouts {
  uint32_t resolve = 0;
  uint32_t connect = 0;
  uint32_t send = 0;
  uint32_t receive = 0;
};

// The stage texts of one kind of request. A failed step is reported as
// "{stage}，错误码 {code}。" with the system's error code, so every caller
// names its own steps ("发送更新策略请求失败", "发送下载请求失败", ...).
struct HttpStages {
  std::string_view open_session;
  std::string_view connect;
  std::string_view open_request;
  std::string_view add_range;
  std::string_view send;
  std::string_view receive;
  std::string_view status;
  std::string_view query_data;
  std::string_view read_data;
};

struct HttpRequest {
  std::string_view verb;
  std::string host;
  uint16_t port = 0;
  bool secure = false;
  std::string path;  // query included
  // Adds "Range: bytes={offset}-" when set.
  std::optional<uint64_t> range_offset;
  HttpTimeouts timeouts;
  HttpStages stages;
};

// A response whose status line has arrived. Owns the request, connection and
// session, released in that order when it goes away.
class HttpResponse {
 public:
  virtual ~HttpResponse() = default;

  virtual uint32_t status() const = 0;

  // Content-Length as a 32-bit number; nothing when absent or unreadable.
  virtual std::optional<uint32_t> content_length() = 0;

  // Bytes that can be read now without waiting for more; 0 at the end.
  virtual Result<uint64_t> data_available() = 0;

  // Reads up to buffer.size() bytes; 0 at the end.
  virtual Result<size_t> read(std::span<std::byte> buffer) = 0;
};

using HttpOpener = std::function<Result<std::unique_ptr<HttpResponse>>(const HttpRequest&)>;

// The user agent of every request: the assistant and its version.
inline constexpr char kUserAgent[] = "VelmoOnlineInstaller/1.0.0";

// Sends the request and waits for the status line, through the system's HTTP
// stack (WinHTTP). Failures come back as the stage message. On platforms
// without that stack it fails: the portable build tests with its own opener.
Result<std::unique_ptr<HttpResponse>> open_http(const HttpRequest& request);

}  // namespace velmo

#endif  // VELMO_PLATFORM_HTTP_H_
