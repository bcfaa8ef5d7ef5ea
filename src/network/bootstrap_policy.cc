#include "network/bootstrap_policy.h"

#include <algorithm>
#include <vector>

#include "network/download_url.h"
#include "network/policy_document.h"

#ifndef VELMO_POLICY_ORIGIN
#error "VELMO_POLICY_ORIGIN must be defined by the build"
#endif

namespace velmo {

namespace {

constexpr char kTransportPrefix[] = "连接正式更新服务失败：";

constexpr HttpTimeouts kPolicyTimeouts{10000, 10000, 15000, 30000};

constexpr HttpStages kPolicyStages{
    .open_session = "初始化更新策略连接失败",
    .connect = "连接更新策略服务器失败",
    .open_request = "创建更新策略请求失败",
    .add_range = "创建更新策略请求失败",
    .send = "发送更新策略请求失败",
    .receive = "接收更新策略响应失败",
    .status = "读取更新策略状态失败",
    .query_data = "读取更新策略数据失败",
    .read_data = "读取更新策略数据失败",
};

constexpr HttpStages kProbeStages{
    .open_session = "初始化安装包检测失败",
    .connect = "连接安装包服务器失败",
    .open_request = "创建安装包检测请求失败",
    .add_range = "创建安装包检测请求失败",
    .send = "发送安装包检测请求失败",
    .receive = "接收安装包检测响应失败",
    .status = "读取安装包检测状态失败",
    .query_data = "读取安装包检测状态失败",
    .read_data = "读取安装包检测状态失败",
};

HttpRequest make_request(std::string_view verb,
                         const ParsedUrl& url,
                         const HttpTimeouts& timeouts,
                         const HttpStages& stages) {
  return HttpRequest{.verb = verb,
                     .host = url.host,
                     .port = url.port,
                     .secure = url.secure,
                     .path = url.path,
                     .range_offset = std::nullopt,
                     .timeouts = timeouts,
                     .stages = stages};
}

// The body, bounded: a server cannot make the assistant hold more than the
// limit, and a body that would exceed it is refused rather than cut.
Result<std::string> read_policy_body(HttpResponse& response) {
  std::string body;
  std::vector<std::byte> buffer(kPolicyReadChunk);
  for (;;) {
    auto available = response.data_available();
    if (!available) {
      return fail(available.error());
    }
    if (*available == 0) {
      return body;
    }
    if (body.size() >= kPolicyBodyLimit) {
      return fail("更新策略响应过大。");
    }
    const size_t wanted = static_cast<size_t>(
        std::min<uint64_t>({kPolicyBodyLimit - body.size(), *available, kPolicyReadChunk}));
    auto got = response.read(std::span(buffer).first(wanted));
    if (!got) {
      return fail(got.error());
    }
    if (*got == 0) {
      return body;
    }
    body.append(reinterpret_cast<const char*>(buffer.data()), *got);
  }
}

// Steps up to the complete body; every failure here is a transport failure.
Result<std::string> fetch_policy_body(std::string_view origin, const HttpOpener& open) {
  auto url = parse_download_url(std::string(origin) + kPolicyPathAndQuery);
  if (!url) {
    return fail(url.error());
  }
  auto response = open(make_request("GET", *url, kPolicyTimeouts, kPolicyStages));
  if (!response) {
    return fail(response.error());
  }
  const uint32_t status = (*response)->status();
  if (status != 200) {
    return fail("更新策略服务器返回 HTTP " + std::to_string(status) + "。");
  }
  auto body = read_policy_body(**response);
  if (!body) {
    return fail(body.error());
  }
  if (body->empty()) {
    return fail("更新策略服务器返回了空响应。");
  }
  return body;
}

}  // namespace

std::string built_in_policy_origin() {
  return VELMO_POLICY_ORIGIN;
}

Result<VerifiedRelease> fetch_bootstrap_policy() {
  return fetch_bootstrap_policy_from(built_in_policy_origin());
}

Result<VerifiedRelease> fetch_bootstrap_policy_from(std::string_view origin,
                                                    const HttpOpener& open) {
  auto body = fetch_policy_body(origin, open);
  if (!body) {
    return fail(kTransportPrefix + body.error());
  }
  auto policy = parse_bootstrap_policy(*body);
  if (!policy) {
    return fail(policy.error());
  }
  return validate_bootstrap_policy(
      *policy, [&open](const std::string& url) { return probe_installer_size(url, open); });
}

Result<uint64_t> probe_installer_size(std::string_view url_text, const HttpOpener& open) {
  auto url = parse_download_url(url_text);
  if (!url) {
    return fail(url.error());
  }
  auto response = open(make_request("HEAD", *url, kPolicyTimeouts, kProbeStages));
  if (!response) {
    return fail(response.error());
  }
  const uint32_t status = (*response)->status();
  if (status != 200) {
    return fail("安装包服务器返回 HTTP " + std::to_string(status) + "。");
  }
  const std::optional<uint32_t> length = (*response)->content_length();
  if (!length || *length == 0) {
    return fail("安装包服务器没有返回有效文件大小。");
  }
  return *length;
}

}  // namespace velmo
