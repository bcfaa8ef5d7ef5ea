#include "network/bootstrap_policy.h"

#include <gtest/gtest.h>

#include "fake_http.h"

namespace velmo {
namespace {

constexpr char kDigest[] = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";
constexpr char kInstallerUrl[] =
    "https://localhost/v1/downloads/VelmoQen%E5%B7%A5%E4%BD%9C%E5%8F%B0-Setup-v1.4.0.exe";

std::string policy_json(const std::string& installer_bytes) {
  return std::string(R"({"currentVersion":"0.0.0","minSupportedVersion":"1.0.0",)") +
         R"("latestVersion":"1.4.0","downloadUrl":")" + kInstallerUrl + R"(",)" +
         R"("updateSha256":")" + kDigest + R"(",)" + installer_bytes +
         R"("target":"windows","arch":"x86_64"})";
}

class BootstrapPolicyFetchTest : public testing::Test {
 protected:
  Result<VerifiedRelease> fetch(std::string_view origin = "https://localhost") {
    return fetch_bootstrap_policy_from(origin, http_.opener());
  }
  test::FakeHttp http_;
};

TEST_F(BootstrapPolicyFetchTest, ValidPolicyGivesTheRelease) {
  http_.answer({.status = 200, .body = policy_json(R"("installerBytes":1234,)")});
  auto release = fetch("https://policy.example.invalid:8443");
  ASSERT_TRUE(release.has_value()) << release.error();
  EXPECT_EQ(release->latest_version, "1.4.0");
  EXPECT_EQ(release->download_url, kInstallerUrl);
  EXPECT_EQ(release->sha256, "0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF");
  EXPECT_EQ(release->installer_bytes, 1234u);
  ASSERT_EQ(http_.requests().size(), 1u);
  const HttpRequest& request = http_.requests()[0];
  EXPECT_EQ(request.verb, "GET");
  EXPECT_EQ(request.host, "policy.example.invalid");
  EXPECT_EQ(request.port, 8443);
  EXPECT_TRUE(request.secure);
  EXPECT_EQ(request.path, "/v1/bootstrap?version=0.0.0&target=windows&arch=x86_64");
  EXPECT_EQ(request.timeouts.resolve, 10000u);
  EXPECT_EQ(request.timeouts.send, 15000u);
  EXPECT_EQ(request.timeouts.receive, 30000u);
  EXPECT_FALSE(request.range_offset.has_value());
}

TEST_F(BootstrapPolicyFetchTest, MissingSizeIsProbedWithHead) {
  http_.answer({.status = 200, .body = policy_json(R"("installerBytes":null,)")});
  http_.answer({.status = 200, .content_length = 5555});
  auto release = fetch();
  ASSERT_TRUE(release.has_value()) << release.error();
  EXPECT_EQ(release->installer_bytes, 5555u);
  ASSERT_EQ(http_.requests().size(), 2u);
  EXPECT_EQ(http_.requests()[1].verb, "HEAD");
  EXPECT_EQ(http_.requests()[1].path,
            "/v1/downloads/VelmoQen%E5%B7%A5%E4%BD%9C%E5%8F%B0-Setup-v1.4.0.exe");
}

// A scripted answer and the message the fetch must end with.
struct FailureCase {
  const char* name;
  test::FakeAnswer answer;
  const char* message;
};

class SizeProbeFailureTest : public BootstrapPolicyFetchTest,
                             public testing::WithParamInterface<FailureCase> {};

TEST_P(SizeProbeFailureTest, FailsWithThePrefixedProbeMessage) {
  http_.answer({.status = 200, .body = policy_json("")});
  http_.answer(GetParam().answer);
  auto release = fetch();
  ASSERT_FALSE(release.has_value());
  EXPECT_EQ(release.error(), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Table,
    SizeProbeFailureTest,
    testing::Values(FailureCase{"NoContentLength",
                                {.status = 200},
                                "读取正式安装包大小失败：安装包服务器没有返回有效文件大小。"},
                    FailureCase{"ZeroContentLength",
                                {.status = 200, .content_length = 0},
                                "读取正式安装包大小失败：安装包服务器没有返回有效文件大小。"},
                    FailureCase{"NotFound",
                                {.status = 404, .content_length = 10},
                                "读取正式安装包大小失败：安装包服务器返回 HTTP 404。"},
                    FailureCase{"SendFailed",
                                {.open_error = "发送安装包检测请求失败，错误码 12029。"},
                                "读取正式安装包大小失败：发送安装包检测请求失败，错误码 12029。"}),
    [](const auto& info) { return std::string(info.param.name); });

class PolicyTransportTest : public BootstrapPolicyFetchTest,
                            public testing::WithParamInterface<FailureCase> {};

TEST_P(PolicyTransportTest, FailsWithTheServicePrefix) {
  http_.answer(GetParam().answer);
  auto release = fetch();
  ASSERT_FALSE(release.has_value());
  EXPECT_EQ(release.error(), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Table,
    PolicyTransportTest,
    testing::Values(FailureCase{"NoContent",
                                {.status = 204},
                                "连接正式更新服务失败：更新策略服务器返回 HTTP 204。"},
                    FailureCase{"NotModified",
                                {.status = 304},
                                "连接正式更新服务失败：更新策略服务器返回 HTTP 304。"},
                    FailureCase{"NotFound",
                                {.status = 404, .body = "<html>"},
                                "连接正式更新服务失败：更新策略服务器返回 HTTP 404。"},
                    FailureCase{"EmptyBody",
                                {.status = 200},
                                "连接正式更新服务失败：更新策略服务器返回了空响应。"},
                    FailureCase{"SendFailed",
                                {.open_error = "发送更新策略请求失败，错误码 12029。"},
                                "连接正式更新服务失败：发送更新策略请求失败，错误码 12029。"},
                    FailureCase{"ReadFailed",
                                {.status = 200, .body = "{\"a\":1}", .read_error_after = 0},
                                "连接正式更新服务失败：下载数据失败，错误码 12030。"},
                    FailureCase{"OverLimit",
                                {.status = 200, .body = std::string(262145, ' '), .chunk = 65536},
                                "连接正式更新服务失败：更新策略响应过大。"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BootstrapPolicyFetchTest, BodyOfExactlyTheLimitIsAccepted) {
  std::string body = policy_json(R"("installerBytes":7,)");
  body.resize(kPolicyBodyLimit, ' ');
  http_.answer({.status = 200, .body = body, .chunk = 100000});
  auto release = fetch();
  ASSERT_TRUE(release.has_value()) << release.error();
  EXPECT_EQ(release->installer_bytes, 7u);
}

TEST_F(BootstrapPolicyFetchTest, FormatErrorHasNoPrefix) {
  http_.answer({.status = 200, .body = "{not json"});
  auto release = fetch();
  ASSERT_FALSE(release.has_value());
  EXPECT_EQ(release.error(), "正式更新策略格式无效，已停止当前操作。");
}

TEST_F(BootstrapPolicyFetchTest, ValidationErrorHasNoPrefix) {
  std::string body = policy_json(R"("installerBytes":0,)");
  http_.answer({.status = 200, .body = body});
  auto release = fetch();
  ASSERT_FALSE(release.has_value());
  EXPECT_EQ(release.error(), "正式安装包大小无效。");
  EXPECT_EQ(http_.requests().size(), 1u);
}

TEST_F(BootstrapPolicyFetchTest, BadOriginFailsBeforeAnyRequest) {
  auto release = fetch("ftp://localhost");
  ASSERT_FALSE(release.has_value());
  EXPECT_EQ(release.error(), "连接正式更新服务失败：下载地址必须是 HTTP 或 HTTPS。");
  EXPECT_TRUE(http_.requests().empty());
}

TEST(BuiltInOriginTest, IsAnOriginWithoutPath) {
  const std::string origin = built_in_policy_origin();
  EXPECT_TRUE(origin.starts_with("https://") || origin.starts_with("http://")) << origin;
  EXPECT_EQ(origin.find('/', origin.find("//") + 2), std::string::npos) << origin;
}

}  // namespace
}  // namespace velmo
