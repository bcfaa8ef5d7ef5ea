#include "network/download_url.h"

#include <gtest/gtest.h>

#include <string>

namespace velmo {

// Readable failure output (found by argument-dependent lookup).
void PrintTo(const ParsedUrl& url, std::ostream* os) {
  *os << "{host=" << url.host << " path=" << url.path << " port=" << url.port
      << " secure=" << url.secure << "}";
}

namespace {

constexpr char kSchemeMessage[] = "下载地址必须是 HTTP 或 HTTPS。";
constexpr char kPortMessage[] = "下载地址端口无效。";
constexpr char kHostMessage[] = "下载地址缺少服务器名称。";
constexpr char kFormatMessage[] = "正式安装包地址格式无效。";
constexpr char kNotHttpsMessage[] = "正式安装包地址必须是有效的 HTTPS 下载地址。";
constexpr char kMismatchMessage[] = "正式安装包地址与最新版本号不匹配。";

// The installer path for version 1.2.3, written out rather than composed
// from the code under test.
constexpr char kPath123[] = "/v1/downloads/VelmoQen%E5%B7%A5%E4%BD%9C%E5%8F%B0-Setup-v1.2.3.exe";

std::string url_123(std::string_view before_path = "https://host") {
  return std::string(before_path) + kPath123;
}

struct ParseCase {
  const char* name;
  std::string url;
  ParsedUrl expected;
};

class ParseDownloadUrlTest : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseDownloadUrlTest, Splits) {
  const Result<ParsedUrl> url = parse_download_url(GetParam().url);
  ASSERT_TRUE(url.has_value()) << url.error();
  EXPECT_EQ(*url, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table,
    ParseDownloadUrlTest,
    testing::Values(
        ParseCase{"HttpsWithoutPath", "https://example.com", {"example.com", "/", 443, true}},
        ParseCase{"HttpWithoutPath", "http://example.com", {"example.com", "/", 80, false}},
        ParseCase{"RootPath", "https://example.com/", {"example.com", "/", 443, true}},
        ParseCase{"HttpPortAndQueryKept",
                  "http://example.com:8080/a/b?x=1&y=2#frag",
                  {"example.com", "/a/b?x=1&y=2#frag", 8080, false}},
        ParseCase{"HttpsExplicitPort", "https://h:8443/x", {"h", "/x", 8443, true}},
        ParseCase{"PlusSignedPort", "https://h:+8443/x", {"h", "/x", 8443, true}},
        ParseCase{"PortWithLeadingZeros", "https://h:000443/x", {"h", "/x", 443, true}},
        ParseCase{"MaximumPort", "https://h:65535", {"h", "/", 65535, true}},
        ParseCase{"PortZero", "http://h:0/", {"h", "/", 0, false}},
        // The first "/" ends the authority, even inside what looks like a
        // query; and a "?" before any "/" stays in the host.
        ParseCase{"QueryWithoutPathStaysInHost", "https://h?q=1", {"h?q=1", "/", 443, true}},
        ParseCase{"SlashInQuery", "https://h/p?next=/x", {"h", "/p?next=/x", 443, true}},
        ParseCase{"DoubleSlashPath", "https://h//x", {"h", "//x", 443, true}},
        ParseCase{"PercentEscapesNotDecoded", "https://h/%41%e5", {"h", "/%41%e5", 443, true}},
        ParseCase{"DotSegmentsNotNormalised", "https://h/a/../b", {"h", "/a/../b", 443, true}},
        ParseCase{"UserInfoNotInterpreted", "https://u@h/x", {"u@h", "/x", 443, true}},
        ParseCase{"UserInfoWithPort", "https://user@h:81/", {"user@h", "/", 81, true}},
        ParseCase{"LastColonIsThePort", "http://a:b:82/", {"a:b", "/", 82, false}},
        // A "]" before the last colon means that colon is no port separator.
        ParseCase{"BracketBeforeColonNoPort", "http://a]:99/", {"a]:99", "/", 80, false}},
        ParseCase{"Ipv6Literal", "https://[::1]/x", {"[::1]", "/x", 443, true}},
        ParseCase{"Ipv6LiteralWithPort", "https://[::1]:8080/x", {"[::1]", "/x", 8080, true}},
        ParseCase{"Ipv6FullWithPort", "http://[2001:db8::7]:81", {"[2001:db8::7]", "/", 81, false}},
        ParseCase{"Ipv6Unclosed", "https://[::1/x", {"[::1", "/x", 443, true}},
        ParseCase{"NonAsciiHostKept",
                  "https://\xE4\xBE\x8B\xE5\xAD\x90/x",
                  {"\xE4\xBE\x8B\xE5\xAD\x90", "/x", 443, true}}),
    [](const auto& info) { return std::string(info.param.name); });

struct ErrorCase {
  const char* name;
  std::string url;
  const char* message;
};

class ParseDownloadUrlErrorTest : public testing::TestWithParam<ErrorCase> {};

TEST_P(ParseDownloadUrlErrorTest, Fails) {
  const Result<ParsedUrl> url = parse_download_url(GetParam().url);
  ASSERT_FALSE(url.has_value()) << url->host;
  EXPECT_EQ(url.error(), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Table,
    ParseDownloadUrlErrorTest,
    testing::Values(ErrorCase{"Empty", "", kSchemeMessage},
                    ErrorCase{"FtpScheme", "ftp://h/x", kSchemeMessage},
                    ErrorCase{"UpperCaseScheme", "HTTPS://h/x", kSchemeMessage},
                    ErrorCase{"MixedCaseScheme", "Http://h/x", kSchemeMessage},
                    ErrorCase{"MissingSlashes", "https:h/x", kSchemeMessage},
                    ErrorCase{"LeadingSpace", " https://h/x", kSchemeMessage},
                    ErrorCase{"SchemeOnlyPrefix", "https:/", kSchemeMessage},
                    ErrorCase{"EmptyPort", "https://h:/x", kPortMessage},
                    ErrorCase{"EmptyPortNoPath", "http://h:", kPortMessage},
                    ErrorCase{"LonePlus", "https://h:+/x", kPortMessage},
                    ErrorCase{"MinusSign", "https://h:-1/x", kPortMessage},
                    ErrorCase{"DoublePlus", "https://h:++1/x", kPortMessage},
                    ErrorCase{"PortWithLetter", "https://h:80a/x", kPortMessage},
                    ErrorCase{"PortWithSpace", "https://h: 80/x", kPortMessage},
                    ErrorCase{"PortAboveMaximum", "https://h:65536/x", kPortMessage},
                    // Wraps to 443 in 16 bits, and to small values in 32 bits.
                    ErrorCase{"PortWrapsSixteenBits", "https://h:65979/x", kPortMessage},
                    ErrorCase{"VeryLongPort", "https://h:" + std::string(300, '9'), kPortMessage},
                    ErrorCase{"PasswordIsAPort", "https://u:p@h/x", kPortMessage},
                    ErrorCase{"Ipv6JunkAfterBracket", "https://[::1]x/", kPortMessage},
                    ErrorCase{"Ipv6EmptyPort", "https://[::1]:/", kPortMessage},
                    ErrorCase{"EmptyHost", "https://", kHostMessage},
                    ErrorCase{"EmptyHostWithPath", "https:///x", kHostMessage},
                    ErrorCase{"EmptyHostWithPort", "https://:443/x", kHostMessage},
                    ErrorCase{"EmptyHostAndPortPortFirst", "https://:/x", kPortMessage}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(InstallerFileNameTest, EncodesTheProductNameAndVersion) {
  EXPECT_EQ(installer_file_name("1.2.3"), "VelmoQen%E5%B7%A5%E4%BD%9C%E5%8F%B0-Setup-v1.2.3.exe");
  EXPECT_EQ(std::string(kInstallerPathPrefix) + installer_file_name("1.2.3"), kPath123);
}

struct InstallerUrlCase {
  const char* name;
  std::string url;
  std::string latest_version;
  // Empty when the address is accepted.
  std::string message;
};

class ValidateInstallerUrlTest : public testing::TestWithParam<InstallerUrlCase> {};

TEST_P(ValidateInstallerUrlTest, Checks) {
  const InstallerUrlCase& c = GetParam();
  const Status status = validate_installer_url(c.url, c.latest_version);
  if (c.message.empty()) {
    EXPECT_TRUE(status.has_value()) << status.error();
  } else {
    ASSERT_FALSE(status.has_value());
    EXPECT_EQ(status.error(), c.message);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Accepted,
    ValidateInstallerUrlTest,
    testing::Values(InstallerUrlCase{"Plain", url_123(), "1.2.3", ""},
                    InstallerUrlCase{"ExplicitPort443", url_123("https://host:443"), "1.2.3", ""},
                    InstallerUrlCase{"PlusPort443", url_123("https://host:+443"), "1.2.3", ""},
                    InstallerUrlCase{"DottedHost", url_123("https://dl.example.com"), "1.2.3", ""},
                    // U+200B is no White_Space character; it only fails to match.
                    InstallerUrlCase{"NonSpaceFormatCharInHost", url_123("https://h\xE2\x80\x8B"),
                                     "1.2.3", ""},
                    InstallerUrlCase{"OtherVersion",
                                     "https://h/v1/downloads/"
                                     "VelmoQen%E5%B7%A5%E4%BD%9C%E5%8F%B0-Setup-v10.0.65535.exe",
                                     "10.0.65535", ""}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    BadText,
    ValidateInstallerUrlTest,
    testing::Values(
        InstallerUrlCase{"SpaceInPath", url_123() + " ", "1.2.3", kFormatMessage},
        InstallerUrlCase{"SpaceInHost", url_123("https://ho st"), "1.2.3", kFormatMessage},
        InstallerUrlCase{"LeadingSpace", " " + url_123(), "1.2.3", kFormatMessage},
        InstallerUrlCase{"Nul", url_123() + std::string(1, '\0'), "1.2.3", kFormatMessage},
        InstallerUrlCase{"Tab", url_123("https://h\t"), "1.2.3", kFormatMessage},
        InstallerUrlCase{"LineFeed", url_123() + "\n", "1.2.3", kFormatMessage},
        InstallerUrlCase{"CarriageReturn", url_123() + "\r", "1.2.3", kFormatMessage},
        InstallerUrlCase{"UnitSeparator", url_123() + "\x1F", "1.2.3", kFormatMessage},
        InstallerUrlCase{"Delete", url_123() + "\x7F", "1.2.3", kFormatMessage},
        InstallerUrlCase{"C1First", url_123() + "\xC2\x80", "1.2.3", kFormatMessage},
        InstallerUrlCase{"NextLine", url_123() + "\xC2\x85", "1.2.3", kFormatMessage},
        InstallerUrlCase{"C1Last", url_123() + "\xC2\x9F", "1.2.3", kFormatMessage},
        InstallerUrlCase{"NoBreakSpace", url_123() + "\xC2\xA0", "1.2.3", kFormatMessage},
        InstallerUrlCase{"OghamSpace", url_123() + "\xE1\x9A\x80", "1.2.3", kFormatMessage},
        InstallerUrlCase{"EnQuad", url_123() + "\xE2\x80\x80", "1.2.3", kFormatMessage},
        InstallerUrlCase{"HairSpace", url_123() + "\xE2\x80\x8A", "1.2.3", kFormatMessage},
        InstallerUrlCase{"LineSeparator", url_123() + "\xE2\x80\xA8", "1.2.3", kFormatMessage},
        InstallerUrlCase{"ParagraphSeparator", url_123() + "\xE2\x80\xA9", "1.2.3", kFormatMessage},
        InstallerUrlCase{"NarrowNoBreakSpace", url_123() + "\xE2\x80\xAF", "1.2.3", kFormatMessage},
        InstallerUrlCase{"MathSpace", url_123() + "\xE2\x81\x9F", "1.2.3", kFormatMessage},
        InstallerUrlCase{"IdeographicSpace", url_123() + "\xE3\x80\x80", "1.2.3", kFormatMessage},
        InstallerUrlCase{"Backslash", "https://h\\" + std::string(kPath123 + 1), "1.2.3",
                         kFormatMessage},
        // Text checks come before the scheme check.
        InstallerUrlCase{"SpaceBeatsScheme", "ftp://h /x", "1.2.3", kFormatMessage},
        InstallerUrlCase{"StrayContinuationByte", url_123() + "\x80", "1.2.3", kFormatMessage},
        InstallerUrlCase{"InvalidLeadByte", url_123() + "\xFF", "1.2.3", kFormatMessage},
        InstallerUrlCase{"OverlongSlash", url_123() + "\xC0\xAF", "1.2.3", kFormatMessage},
        InstallerUrlCase{"OverlongSpace", url_123() + "\xE0\x80\xA0", "1.2.3", kFormatMessage},
        InstallerUrlCase{"OverlongLetterThreeBytes", url_123() + "\xE0\x81\x81", "1.2.3",
                         kFormatMessage},
        InstallerUrlCase{"OverlongLetterFourBytes", url_123() + "\xF0\x80\x81\x81", "1.2.3",
                         kFormatMessage},
        InstallerUrlCase{"EncodedSurrogate", url_123() + "\xED\xA0\x80", "1.2.3", kFormatMessage},
        InstallerUrlCase{"AboveUnicode", url_123() + "\xF4\x90\x80\x80", "1.2.3", kFormatMessage},
        InstallerUrlCase{"TruncatedSequence", url_123() + "\xE5\xB7", "1.2.3", kFormatMessage}),
    [](const auto& info) { return std::string(info.param.name); });

// The address may be a view into a longer buffer: a sequence cut off by the
// end of the view must not be completed from the bytes behind it.
TEST(InstallerUrlTextTest, SequenceCutByTheEndOfTheViewIsInvalid) {
  const std::string buffer = url_123() + "\xE5\xB7\xA5";
  const Status status =
      validate_installer_url(std::string_view(buffer.data(), buffer.size() - 1), "1.2.3");
  ASSERT_FALSE(status.has_value());
  EXPECT_EQ(status.error(), kFormatMessage);
}

INSTANTIATE_TEST_SUITE_P(
    ParseErrorsPassedOn,
    ValidateInstallerUrlTest,
    testing::Values(InstallerUrlCase{"OtherScheme", "ftp://host/x", "1.2.3", kSchemeMessage},
                    InstallerUrlCase{"EmptyPort", url_123("https://host:"), "1.2.3", kPortMessage},
                    InstallerUrlCase{"EmptyHost", url_123("https://"), "1.2.3", kHostMessage},
                    // No user-info: the colon of "user:password@" starts a port.
                    InstallerUrlCase{"UserAndPassword", url_123("https://u:p@host"), "1.2.3",
                                     kPortMessage}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    NotPlainHttps,
    ValidateInstallerUrlTest,
    testing::Values(
        InstallerUrlCase{"HttpScheme", url_123("http://host"), "1.2.3", kNotHttpsMessage},
        InstallerUrlCase{"HttpOnPort443", url_123("http://host:443"), "1.2.3", kNotHttpsMessage},
        InstallerUrlCase{"OtherPort", url_123("https://host:8443"), "1.2.3", kNotHttpsMessage},
        InstallerUrlCase{"Query", url_123() + "?a=1", "1.2.3", kNotHttpsMessage},
        InstallerUrlCase{"EmptyQuery", url_123() + "?", "1.2.3", kNotHttpsMessage},
        InstallerUrlCase{"Fragment", url_123() + "#x", "1.2.3", kNotHttpsMessage},
        InstallerUrlCase{"UserInfo", url_123("https://user@host"), "1.2.3", kNotHttpsMessage},
        InstallerUrlCase{"Ipv6Literal", url_123("https://[::1]"), "1.2.3", kNotHttpsMessage},
        InstallerUrlCase{"BracketInHost", url_123("https://a]:443"), "1.2.3", kNotHttpsMessage},
        InstallerUrlCase{"HostQuote", url_123("https://a\"b"), "1.2.3", kNotHttpsMessage},
        InstallerUrlCase{"HostHash", url_123("https://a#b"), "1.2.3", kNotHttpsMessage},
        InstallerUrlCase{"HostPercent", url_123("https://a%41"), "1.2.3", kNotHttpsMessage},
        InstallerUrlCase{"HostLess", url_123("https://a<b"), "1.2.3", kNotHttpsMessage},
        InstallerUrlCase{"HostGreater", url_123("https://a>b"), "1.2.3", kNotHttpsMessage},
        InstallerUrlCase{"HostQuestion", url_123("https://a?b"), "1.2.3", kNotHttpsMessage},
        InstallerUrlCase{"HostOpenBracket", url_123("https://a[b"), "1.2.3", kNotHttpsMessage},
        InstallerUrlCase{"HostCaret", url_123("https://a^b"), "1.2.3", kNotHttpsMessage},
        InstallerUrlCase{"HostBacktick", url_123("https://a`b"), "1.2.3", kNotHttpsMessage},
        InstallerUrlCase{"HostOpenBrace", url_123("https://a{b"), "1.2.3", kNotHttpsMessage},
        InstallerUrlCase{"HostCloseBrace", url_123("https://a}b"), "1.2.3", kNotHttpsMessage},
        InstallerUrlCase{"HostPipe", url_123("https://a|b"), "1.2.3", kNotHttpsMessage},
        // The host check runs before the path is compared.
        InstallerUrlCase{"BadHostAndWrongPath", "https://u@h/other.exe", "1.2.3",
                         kNotHttpsMessage}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    PathMismatch,
    ValidateInstallerUrlTest,
    testing::Values(InstallerUrlCase{"OtherVersion", url_123(), "1.2.4", kMismatchMessage},
                    InstallerUrlCase{"LowerCaseEscapes",
                                     "https://h/v1/downloads/"
                                     "VelmoQen%e5%b7%a5%e4%bd%9c%e5%8f%b0-Setup-v1.2.3.exe",
                                     "1.2.3", kMismatchMessage},
                    InstallerUrlCase{
                        "UnescapedName",
                        "https://h/v1/downloads/VelmoQen\xE5\xB7\xA5\xE4\xBD\x9C\xE5\x8F\xB0"
                        "-Setup-v1.2.3.exe",
                        "1.2.3", kMismatchMessage},
                    InstallerUrlCase{"NoPath", "https://h", "1.2.3", kMismatchMessage},
                    InstallerUrlCase{"OtherFolder",
                                     "https://h/v2/downloads/"
                                     "VelmoQen%E5%B7%A5%E4%BD%9C%E5%8F%B0-Setup-v1.2.3.exe",
                                     "1.2.3", kMismatchMessage},
                    InstallerUrlCase{"ExtraLeadingSlash", "https://h/" + std::string(kPath123),
                                     "1.2.3", kMismatchMessage},
                    InstallerUrlCase{"TrailingSlash", url_123() + "/", "1.2.3", kMismatchMessage},
                    InstallerUrlCase{"UpperCaseExtension",
                                     "https://h/v1/downloads/"
                                     "VelmoQen%E5%B7%A5%E4%BD%9C%E5%8F%B0-Setup-v1.2.3.EXE",
                                     "1.2.3", kMismatchMessage},
                    InstallerUrlCase{"ZeroWidthSpaceInPath", url_123() + "\xE2\x80\x8B", "1.2.3",
                                     kMismatchMessage}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velmo
