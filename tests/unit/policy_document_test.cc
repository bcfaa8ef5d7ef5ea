#include "network/policy_document.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace velmo {

// Readable failure output (found by argument-dependent lookup).
void PrintTo(const BootstrapPolicy& p, std::ostream* os) {
  *os << "{" << p.current_version << ", " << p.min_supported_version << ", " << p.latest_version
      << ", " << p.download_url << ", " << p.update_sha256 << ", "
      << (p.installer_bytes ? std::to_string(*p.installer_bytes) : "null") << ", " << p.target
      << ", " << p.arch << "}";
}

namespace {

constexpr char kFormatMessage[] = "正式更新策略格式无效，已停止当前操作。";
constexpr char kTargetMessage[] = "正式更新策略与当前 Windows x64 助手不匹配。";
constexpr char kVersionMessage[] = "正式更新策略中的版本号无效。";
constexpr char kVersionOrderMessage[] = "正式更新策略中的最低版本高于最新版本。";
constexpr char kDigestMessage[] = "正式安装包 SHA256 无效。";
constexpr char kSizeMessage[] = "正式安装包大小无效。";
constexpr char kHttpsMessage[] = "正式安装包地址必须是有效的 HTTPS 下载地址。";
constexpr char kMismatchMessage[] = "正式安装包地址与最新版本号不匹配。";
constexpr char kUrlFormatMessage[] = "正式安装包地址格式无效。";
constexpr char kSchemeMessage[] = "下载地址必须是 HTTP 或 HTTPS。";

// ---------------------------------------------------------------------------
// Reading the document. The reader does not judge the values, so short
// placeholders keep the bodies readable.

struct Member {
  const char* key;
  const char* value;
};

constexpr Member kSampleMembers[] = {
    {"currentVersion", R"("a")"}, {"minSupportedVersion", R"("b")"},
    {"latestVersion", R"("c")"},  {"downloadUrl", R"("d")"},
    {"updateSha256", R"("e")"},   {"installerBytes", "5"},
    {"target", R"("f")"},         {"arch", R"("g")"},
};

BootstrapPolicy sample_policy(std::optional<uint64_t> installer_bytes = 5) {
  return BootstrapPolicy{"a", "b", "c", "d", "e", installer_bytes, "f", "g"};
}

// The sample object with `key` set to the JSON text `value`, or without
// `key` when `value` is nullopt.
std::string sample_object_with(std::string_view key, std::optional<std::string_view> value) {
  std::string body = "{";
  for (const Member& member : kSampleMembers) {
    std::string_view text = member.value;
    if (member.key == key) {
      if (!value) {
        continue;
      }
      text = *value;
    }
    if (body.size() > 1) {
      body += ",";
    }
    body += "\"" + std::string(member.key) + "\":" + std::string(text);
  }
  return body + "}";
}

const std::string kSampleObject = sample_object_with("", std::nullopt);

constexpr char kSampleArray[] = R"(["a","b","c","d","e",5,"f","g"])";

// `object` with more members before its closing brace.
std::string plus(const std::string& object, std::string_view members) {
  return object.substr(0, object.size() - 1) + "," + std::string(members) + "}";
}

std::string sample_object_plus(std::string_view members) {
  return plus(kSampleObject, members);
}

std::string nested_arrays(size_t depth) {
  return std::string(depth, '[') + std::string(depth, ']');
}

struct ParseCase {
  const char* name;
  std::string body;
  BootstrapPolicy expected;
};

class ParsePolicyTest : public testing::TestWithParam<ParseCase> {};

TEST_P(ParsePolicyTest, ReadsTheFields) {
  const Result<BootstrapPolicy> policy = parse_bootstrap_policy(GetParam().body);
  ASSERT_TRUE(policy.has_value()) << policy.error();
  EXPECT_EQ(*policy, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Object,
    ParsePolicyTest,
    testing::Values(
        ParseCase{"AllEightKeys", kSampleObject, sample_policy()},
        ParseCase{"KeysInAnotherOrder",
                  R"({"arch":"g","target":"f","installerBytes":5,"updateSha256":"e",)"
                  R"("downloadUrl":"d","latestVersion":"c","minSupportedVersion":"b",)"
                  R"("currentVersion":"a"})",
                  sample_policy()},
        ParseCase{"SizeNull", sample_object_with("installerBytes", "null"),
                  sample_policy(std::nullopt)},
        ParseCase{"SizeAbsent", sample_object_with("installerBytes", std::nullopt),
                  sample_policy(std::nullopt)},
        // Range checks belong to validation, not to reading.
        ParseCase{"SizeZero", sample_object_with("installerBytes", "0"), sample_policy(0)},
        ParseCase{"SizeAboveFourGiB", sample_object_with("installerBytes", "4294967296"),
                  sample_policy(4294967296u)},
        ParseCase{"SizeLargestUnsigned",
                  sample_object_with("installerBytes", "18446744073709551615"),
                  sample_policy(UINT64_MAX)},
        ParseCase{"EscapesDecoded", sample_object_with("target", R"("\u0041\u5de5\n\/")"),
                  [] {
                    BootstrapPolicy p = sample_policy();
                    p.target = "A\xE5\xB7\xA5\n/";
                    return p;
                  }()},
        ParseCase{"EscapedNulKept", sample_object_with("arch", R"("x\u0000y")"),
                  [] {
                    BootstrapPolicy p = sample_policy();
                    p.arch = std::string("x\0y", 3);
                    return p;
                  }()},
        ParseCase{"Utf8Text", sample_object_with("target", "\"\xE5\xB7\xA5\xF0\x9F\x98\x80\""),
                  [] {
                    BootstrapPolicy p = sample_policy();
                    p.target = "\xE5\xB7\xA5\xF0\x9F\x98\x80";
                    return p;
                  }()},
        ParseCase{"EmptyStrings", sample_object_with("latestVersion", R"("")"),
                  [] {
                    BootstrapPolicy p = sample_policy();
                    p.latest_version = "";
                    return p;
                  }()},
        ParseCase{"SurroundingWhitespace", " \t\r\n" + kSampleObject + " \t\r\n", sample_policy()},
        ParseCase{"WhitespaceInside",
                  "{ \"currentVersion\" : \"a\" ,\n\"minSupportedVersion\":\"b\",\t"
                  "\"latestVersion\":\"c\",\"downloadUrl\":\"d\",\"updateSha256\":\"e\","
                  "\"installerBytes\":\r5,\"target\":\"f\",\"arch\":\"g\" }",
                  sample_policy()}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    UnknownKeysSkipped,
    ParsePolicyTest,
    testing::Values(
        ParseCase{"String", sample_object_plus(R"("channel":"stable")"), sample_policy()},
        ParseCase{"EveryScalarType",
                  sample_object_plus(R"("n":null,"t":true,"f":false,"i":-7,"x":1.5e300,)"
                                     R"("u":99999999999999999999999)"),
                  sample_policy()},
        ParseCase{"NestedContainers",
                  sample_object_plus(R"("notes":{"zh":["a",{"b":[1,2,{}]}],"e":[]})"),
                  sample_policy()},
        // Values that are never read cannot be ambiguous to the assistant,
        // so repeated keys inside them are left alone.
        ParseCase{"DuplicateKeysInsideUnknownObject",
                  sample_object_plus(R"("extra":{"k":1,"k":2,"latestVersion":"z"})"),
                  sample_policy()},
        ParseCase{"KnownKeyNamesInsideUnknownValue",
                  sample_object_plus(R"("old":{"latestVersion":"z","installerBytes":-1})"),
                  sample_policy()},
        ParseCase{"UnknownKeyBeforeKnownOnes", "{\"x\":[[[]]]," + kSampleObject.substr(1),
                  sample_policy()},
        ParseCase{"CaseDiffersFromKnownKey", sample_object_plus(R"("LatestVersion":5)"),
                  sample_policy()},
        ParseCase{"DeepNesting", sample_object_plus("\"deep\":" + nested_arrays(100000)),
                  sample_policy()}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Array,
    ParsePolicyTest,
    testing::Values(ParseCase{"EightValues", kSampleArray, sample_policy()},
                    ParseCase{"NullSize", R"(["a","b","c","d","e",null,"f","g"])",
                              sample_policy(std::nullopt)},
                    ParseCase{"SurroundingWhitespace", std::string("\n ") + kSampleArray + "\r\n",
                              sample_policy()}),
    [](const auto& info) { return std::string(info.param.name); });

struct RejectCase {
  const char* name;
  std::string body;
};

class RejectPolicyTest : public testing::TestWithParam<RejectCase> {};

TEST_P(RejectPolicyTest, IsAFormatError) {
  const Result<BootstrapPolicy> policy = parse_bootstrap_policy(GetParam().body);
  ASSERT_FALSE(policy.has_value());
  EXPECT_EQ(policy.error(), kFormatMessage);
}

INSTANTIATE_TEST_SUITE_P(
    Document,
    RejectPolicyTest,
    testing::Values(
        RejectCase{"Empty", ""},
        RejectCase{"WhitespaceOnly", " \r\n\t"},
        RejectCase{"EmptyObject", "{}"},
        RejectCase{"EmptyArray", "[]"},
        RejectCase{"TopLevelString", R"("a")"},
        RejectCase{"TopLevelNumber", "5"},
        RejectCase{"TopLevelNull", "null"},
        RejectCase{"Truncated", kSampleObject.substr(0, kSampleObject.size() - 1)},
        RejectCase{"TrailingComma", kSampleObject.substr(0, kSampleObject.size() - 1) + ",}"},
        RejectCase{"SingleQuotes", "{'currentVersion':'a'}"},
        RejectCase{"Comment", "/* policy */" + kSampleObject},
        RejectCase{"TrailingGarbage", kSampleObject + "x"},
        RejectCase{"SecondDocument", kSampleObject + kSampleObject},
        RejectCase{"SecondDocumentAfterSpace", kSampleObject + " {}"},
        RejectCase{"TrailingNul", kSampleObject + std::string(1, '\0')},
        RejectCase{"NulBeforeWhitespace", kSampleObject + std::string("\0 ", 2)},
        RejectCase{"NulInsideString", sample_object_with("arch", std::string("\"x\0\"", 4))},
        RejectCase{"NulBetweenMembers", std::string("{\"x\":1,\0", 8) + kSampleObject.substr(1)},
        RejectCase{"FormFeedAfter", kSampleObject + "\f"},
        RejectCase{"NoBreakSpaceAfter", kSampleObject + "\xC2\xA0"},
        // nlohmann would skip it; the service must not send one.
        RejectCase{"ByteOrderMark", "\xEF\xBB\xBF" + kSampleObject},
        RejectCase{"ByteOrderMarkArray", std::string("\xEF\xBB\xBF") + kSampleArray},
        RejectCase{"DeepUnclosed", sample_object_plus("\"deep\":" + std::string(100000, '['))},
        RejectCase{"DeepTopLevel", nested_arrays(100000)}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    InvalidUtf8,
    RejectPolicyTest,
    testing::Values(RejectCase{"InKnownValue", sample_object_with("target", "\"w\xFFin\"")},
                    RejectCase{"InUnknownValue", sample_object_plus("\"x\":\"\xC0\xAF\"")},
                    RejectCase{"InUnknownKey", sample_object_plus("\"\xED\xA0\x80\":1")},
                    RejectCase{"Truncated", sample_object_with("arch", "\"\xE5\xB7\"")},
                    RejectCase{"AboveUnicode", sample_object_with("arch", "\"\xF4\x90\x80\x80\"")},
                    RejectCase{"OutsideStrings", kSampleObject + "\xE5\xB7\xA5"},
                    RejectCase{"LoneSurrogateEscape", sample_object_with("arch", R"("\ud800")")}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    DuplicateKeys,
    RejectPolicyTest,
    testing::Values(
        RejectCase{"LatestVersionTwice", sample_object_plus(R"("latestVersion":"c")")},
        RejectCase{"LatestVersionTwiceDifferent", sample_object_plus(R"("latestVersion":"z")")},
        RejectCase{"SizeNullThenNumber",
                   plus(sample_object_with("installerBytes", "null"), R"("installerBytes":7)")},
        RejectCase{"SizeTwice", sample_object_plus(R"("installerBytes":5)")},
        RejectCase{"TargetTwice", sample_object_plus(R"("target":"windows")")},
        // Rejected like the known keys: a repeated key means different
        // things to different JSON readers.
        RejectCase{"UnknownKeyTwice", sample_object_plus(R"("extra":1,"extra":1)")}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    InstallerBytes,
    RejectPolicyTest,
    testing::Values(RejectCase{"Fraction", sample_object_with("installerBytes", "1.5")},
                    RejectCase{"WholeFraction", sample_object_with("installerBytes", "1.0")},
                    RejectCase{"Exponent", sample_object_with("installerBytes", "1e3")},
                    RejectCase{"UpperExponent", sample_object_with("installerBytes", "1E3")},
                    RejectCase{"Negative", sample_object_with("installerBytes", "-1")},
                    RejectCase{"NegativeZero", sample_object_with("installerBytes", "-0")},
                    RejectCase{"AboveSixtyFourBits",
                               sample_object_with("installerBytes", "18446744073709551616")},
                    RejectCase{"String", sample_object_with("installerBytes", R"("5")")},
                    RejectCase{"True", sample_object_with("installerBytes", "true")},
                    RejectCase{"Object", sample_object_with("installerBytes", "{}")},
                    RejectCase{"Array", sample_object_with("installerBytes", "[5]")},
                    RejectCase{"LeadingZero", sample_object_with("installerBytes", "05")},
                    RejectCase{"PlusSign", sample_object_with("installerBytes", "+5")}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    ArrayForm,
    RejectPolicyTest,
    testing::Values(RejectCase{"SevenValues", R"(["a","b","c","d","e",5,"f"])"},
                    RejectCase{"NineValues", R"(["a","b","c","d","e",5,"f","g","h"])"},
                    RejectCase{"SizeLeftOut", R"(["a","b","c","d","e","f","g"])"},
                    RejectCase{"SizeAsString", R"(["a","b","c","d","e","5","f","g"])"},
                    RejectCase{"NegativeSize", R"(["a","b","c","d","e",-5,"f","g"])"},
                    RejectCase{"NullString", R"(["a","b","c","d","e",5,"f",null])"},
                    RejectCase{"NestedValue", R"(["a","b","c","d","e",5,"f",["g"]])"},
                    RejectCase{"ObjectInside",
                               R"([{"currentVersion":"a"},"b","c","d","e",5,"f","g"])"},
                    RejectCase{"TrailingGarbage", std::string(kSampleArray) + "]"}),
    [](const auto& info) { return std::string(info.param.name); });

constexpr const char* kStringKeys[] = {"currentVersion",
                                       "minSupportedVersion",
                                       "latestVersion",
                                       "downloadUrl",
                                       "updateSha256",
                                       "target",
                                       "arch"};

class MissingKeyTest : public testing::TestWithParam<const char*> {};

TEST_P(MissingKeyTest, IsAFormatError) {
  const Result<BootstrapPolicy> policy =
      parse_bootstrap_policy(sample_object_with(GetParam(), std::nullopt));
  ASSERT_FALSE(policy.has_value());
  EXPECT_EQ(policy.error(), kFormatMessage);
}

INSTANTIATE_TEST_SUITE_P(RequiredKeys,
                         MissingKeyTest,
                         testing::ValuesIn(kStringKeys),
                         [](const auto& info) { return std::string(info.param); });

struct JsonValue {
  const char* name;
  const char* text;
};

class NonStringFieldTest : public testing::TestWithParam<std::tuple<const char*, JsonValue>> {};

TEST_P(NonStringFieldTest, IsAFormatError) {
  const auto& [key, value] = GetParam();
  const Result<BootstrapPolicy> policy =
      parse_bootstrap_policy(sample_object_with(key, value.text));
  ASSERT_FALSE(policy.has_value());
  EXPECT_EQ(policy.error(), kFormatMessage);
}

INSTANTIATE_TEST_SUITE_P(StringKeys,
                         NonStringFieldTest,
                         testing::Combine(testing::ValuesIn(kStringKeys),
                                          testing::Values(JsonValue{"Null", "null"},
                                                          JsonValue{"Number", "1"},
                                                          JsonValue{"Float", "1.5"},
                                                          JsonValue{"False", "false"},
                                                          JsonValue{"Object", R"({"s":"a"})"},
                                                          JsonValue{"Array", R"(["a"])"})),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param)) + "_" +
                                  std::get<1>(info.param).name;
                         });

// ---------------------------------------------------------------------------
// Validation.

constexpr char kDigest[] = "0123456789abcdefABCDEF0123456789abcdef0123456789abcdef0123456789";
constexpr char kDigestUpper[] = "0123456789ABCDEFABCDEF0123456789ABCDEF0123456789ABCDEF0123456789";
constexpr char kUrl[] =
    "https://dl.example.com/v1/downloads/VelmoQen%E5%B7%A5%E4%BD%9C%E5%8F%B0-Setup-v1.2.3.exe";

// A policy every rule accepts, with no size so that any call of the probe
// shows up.
BootstrapPolicy valid_policy() {
  return BootstrapPolicy{.current_version = "0.0.0",
                         .min_supported_version = "1.0.0",
                         .latest_version = "1.2.3",
                         .download_url = kUrl,
                         .update_sha256 = kDigest,
                         .installer_bytes = std::nullopt,
                         .target = "windows",
                         .arch = "x86_64"};
}

// Answers every probe with one fixed result and records the addresses asked.
class FakeProbe {
 public:
  explicit FakeProbe(Result<uint64_t> answer) : answer_(std::move(answer)) {}

  InstallerSizeProbe callback() {
    return [this](const std::string& url) {
      urls_.push_back(url);
      return answer_;
    };
  }
  const std::vector<std::string>& urls() const { return urls_; }

 private:
  Result<uint64_t> answer_;
  std::vector<std::string> urls_;
};

using Mutation = void (*)(BootstrapPolicy&);

struct RuleCase {
  const char* name;
  Mutation mutate;
  const char* message;
};

class PolicyRuleTest : public testing::TestWithParam<RuleCase> {};

TEST_P(PolicyRuleTest, FailsWithTheFirstBrokenRule) {
  BootstrapPolicy policy = valid_policy();
  GetParam().mutate(policy);
  FakeProbe probe(uint64_t{1234});
  const Result<VerifiedRelease> release = validate_bootstrap_policy(policy, probe.callback());
  ASSERT_FALSE(release.has_value());
  EXPECT_EQ(release.error(), GetParam().message);
  // A failed rule ends the check before any request is made, and a size in
  // the policy is never probed.
  EXPECT_TRUE(probe.urls().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Target,
    PolicyRuleTest,
    testing::Values(
        RuleCase{"CurrentVersionOther", [](BootstrapPolicy& p) { p.current_version = "0.0.1"; },
                 kTargetMessage},
        RuleCase{"CurrentVersionEmpty", [](BootstrapPolicy& p) { p.current_version = ""; },
                 kTargetMessage},
        RuleCase{"CurrentVersionPadded", [](BootstrapPolicy& p) { p.current_version = "0.0.0 "; },
                 kTargetMessage},
        RuleCase{"TargetCapitalised", [](BootstrapPolicy& p) { p.target = "Windows"; },
                 kTargetMessage},
        RuleCase{"TargetOther", [](BootstrapPolicy& p) { p.target = "linux"; }, kTargetMessage},
        RuleCase{"TargetWithNul",
                 [](BootstrapPolicy& p) { p.target = std::string("windows\0", 8); },
                 kTargetMessage},
        RuleCase{"ArchX64", [](BootstrapPolicy& p) { p.arch = "x64"; }, kTargetMessage},
        RuleCase{"ArchUpperCase", [](BootstrapPolicy& p) { p.arch = "X86_64"; }, kTargetMessage},
        RuleCase{"ArchArm", [](BootstrapPolicy& p) { p.arch = "aarch64"; }, kTargetMessage}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Versions,
    PolicyRuleTest,
    testing::Values(
        RuleCase{"LatestInvalid", [](BootstrapPolicy& p) { p.latest_version = "1.2"; },
                 kVersionMessage},
        RuleCase{"LatestWithSuffix", [](BootstrapPolicy& p) { p.latest_version = "1.2.3-rc1"; },
                 kVersionMessage},
        RuleCase{"MinSupportedInvalid",
                 [](BootstrapPolicy& p) { p.min_supported_version = "01.0.0"; }, kVersionMessage},
        RuleCase{"MinSupportedEmpty", [](BootstrapPolicy& p) { p.min_supported_version = ""; },
                 kVersionMessage},
        RuleCase{"MinAboveLatest", [](BootstrapPolicy& p) { p.min_supported_version = "1.2.4"; },
                 kVersionOrderMessage},
        RuleCase{"MinAboveLatestNumerically",
                 [](BootstrapPolicy& p) {
                   p.min_supported_version = "1.10.0";
                   p.latest_version = "1.9.0";
                 },
                 kVersionOrderMessage}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Digest,
    PolicyRuleTest,
    testing::Values(
        RuleCase{"Empty", [](BootstrapPolicy& p) { p.update_sha256 = ""; }, kDigestMessage},
        RuleCase{"TooShort", [](BootstrapPolicy& p) { p.update_sha256.pop_back(); },
                 kDigestMessage},
        RuleCase{"TooLong", [](BootstrapPolicy& p) { p.update_sha256 += "0"; }, kDigestMessage},
        RuleCase{"NonHexLetter", [](BootstrapPolicy& p) { p.update_sha256[10] = 'g'; },
                 kDigestMessage},
        RuleCase{"UpperNonHexLetter", [](BootstrapPolicy& p) { p.update_sha256[0] = 'G'; },
                 kDigestMessage},
        RuleCase{"Space", [](BootstrapPolicy& p) { p.update_sha256[63] = ' '; }, kDigestMessage},
        RuleCase{"Prefixed",
                 [](BootstrapPolicy& p) { p.update_sha256 = "0x" + p.update_sha256.substr(2); },
                 kDigestMessage},
        RuleCase{"FullWidthDigitSameByteCount",
                 [](BootstrapPolicy& p) { p.update_sha256.replace(0, 3, "\xEF\xBC\x90"); },
                 kDigestMessage}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Url,
    PolicyRuleTest,
    testing::Values(
        RuleCase{"Http", [](BootstrapPolicy& p) { p.download_url.replace(0, 5, "http"); },
                 kHttpsMessage},
        RuleCase{"Query", [](BootstrapPolicy& p) { p.download_url += "?x=1"; }, kHttpsMessage},
        RuleCase{"OtherVersion", [](BootstrapPolicy& p) { p.latest_version = "1.2.4"; },
                 kMismatchMessage},
        RuleCase{"Space", [](BootstrapPolicy& p) { p.download_url += " "; }, kUrlFormatMessage},
        RuleCase{"OtherScheme", [](BootstrapPolicy& p) { p.download_url.replace(0, 5, "ftp"); },
                 kSchemeMessage}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Size,
    PolicyRuleTest,
    testing::Values(
        RuleCase{"Zero", [](BootstrapPolicy& p) { p.installer_bytes = 0; }, kSizeMessage},
        RuleCase{"AboveFourGiB", [](BootstrapPolicy& p) { p.installer_bytes = 4294967296u; },
                 kSizeMessage},
        RuleCase{"LargestUnsigned", [](BootstrapPolicy& p) { p.installer_bytes = UINT64_MAX; },
                 kSizeMessage}),
    [](const auto& info) { return std::string(info.param.name); });

// Policies broken in several ways: the earliest rule speaks.
INSTANTIATE_TEST_SUITE_P(Order,
                         PolicyRuleTest,
                         testing::Values(RuleCase{"TargetBeforeDigest",
                                                  [](BootstrapPolicy& p) {
                                                    p.target = "Windows";
                                                    p.update_sha256 = "bad";
                                                  },
                                                  kTargetMessage},
                                         RuleCase{"TargetBeforeVersions",
                                                  [](BootstrapPolicy& p) {
                                                    p.arch = "x64";
                                                    p.latest_version = "bad";
                                                  },
                                                  kTargetMessage},
                                         RuleCase{"VersionsBeforeDigest",
                                                  [](BootstrapPolicy& p) {
                                                    p.min_supported_version = "1";
                                                    p.update_sha256 = "";
                                                  },
                                                  kVersionMessage},
                                         RuleCase{"InvalidLatestBeforeOrder",
                                                  [](BootstrapPolicy& p) {
                                                    p.latest_version = "2";
                                                    p.min_supported_version = "9.9.9";
                                                  },
                                                  kVersionMessage},
                                         RuleCase{"InvalidMinBeforeOrder",
                                                  [](BootstrapPolicy& p) {
                                                    p.latest_version = "0.0.1";
                                                    p.min_supported_version = "9.9";
                                                  },
                                                  kVersionMessage},
                                         RuleCase{"OrderBeforeDigest",
                                                  [](BootstrapPolicy& p) {
                                                    p.min_supported_version = "2.0.0";
                                                    p.update_sha256 = "";
                                                  },
                                                  kVersionOrderMessage},
                                         RuleCase{"DigestBeforeUrl",
                                                  [](BootstrapPolicy& p) {
                                                    p.update_sha256 = "";
                                                    p.download_url = "ftp://x";
                                                  },
                                                  kDigestMessage},
                                         RuleCase{"UrlBeforeSize",
                                                  [](BootstrapPolicy& p) {
                                                    p.download_url += "#x";
                                                    p.installer_bytes = 0;
                                                  },
                                                  kHttpsMessage},
                                         RuleCase{"EverythingWrong",
                                                  [](BootstrapPolicy& p) {
                                                    p = BootstrapPolicy{"1", "2", "3", "4",
                                                                        "5", 0,   "6", "7"};
                                                  },
                                                  kTargetMessage}),
                         [](const auto& info) { return std::string(info.param.name); });

struct AcceptCase {
  const char* name;
  Mutation mutate;
  uint64_t expected_bytes;
};

class PolicyAcceptTest : public testing::TestWithParam<AcceptCase> {};

TEST_P(PolicyAcceptTest, GivesTheRelease) {
  BootstrapPolicy policy = valid_policy();
  GetParam().mutate(policy);
  FakeProbe probe(uint64_t{777});
  const Result<VerifiedRelease> release = validate_bootstrap_policy(policy, probe.callback());
  ASSERT_TRUE(release.has_value()) << release.error();
  EXPECT_EQ(release->latest_version, policy.latest_version);
  EXPECT_EQ(release->download_url, policy.download_url);
  EXPECT_EQ(release->sha256, kDigestUpper);
  EXPECT_EQ(release->installer_bytes, GetParam().expected_bytes);
  // Only a policy without a size is probed, once, with its own address.
  if (policy.installer_bytes) {
    EXPECT_TRUE(probe.urls().empty());
  } else {
    EXPECT_EQ(probe.urls(), std::vector<std::string>{kUrl});
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table,
    PolicyAcceptTest,
    testing::Values(
        AcceptCase{"SizeProbed", [](BootstrapPolicy&) {}, 777},
        AcceptCase{"SizeGiven", [](BootstrapPolicy& p) { p.installer_bytes = 1234; }, 1234},
        AcceptCase{"SmallestSize", [](BootstrapPolicy& p) { p.installer_bytes = 1; }, 1},
        AcceptCase{"LargestSize", [](BootstrapPolicy& p) { p.installer_bytes = 4294967295u; },
                   4294967295u},
        AcceptCase{"MinEqualsLatest", [](BootstrapPolicy& p) { p.min_supported_version = "1.2.3"; },
                   777},
        AcceptCase{"MinZero", [](BootstrapPolicy& p) { p.min_supported_version = "0.0.0"; }, 777},
        AcceptCase{"DigestAlreadyUpper", [](BootstrapPolicy& p) { p.update_sha256 = kDigestUpper; },
                   777}),
    [](const auto& info) { return std::string(info.param.name); });

struct ProbeCase {
  const char* name;
  Result<uint64_t> answer;
  Result<uint64_t> expected;
};

class SizeProbeTest : public testing::TestWithParam<ProbeCase> {};

TEST_P(SizeProbeTest, DecidesTheSize) {
  FakeProbe probe(GetParam().answer);
  const Result<VerifiedRelease> release =
      validate_bootstrap_policy(valid_policy(), probe.callback());
  EXPECT_EQ(probe.urls(), std::vector<std::string>{kUrl});
  const Result<uint64_t>& expected = GetParam().expected;
  if (expected.has_value()) {
    ASSERT_TRUE(release.has_value()) << release.error();
    EXPECT_EQ(release->installer_bytes, *expected);
  } else {
    ASSERT_FALSE(release.has_value()) << release->installer_bytes;
    EXPECT_EQ(release.error(), expected.error());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table,
    SizeProbeTest,
    testing::Values(ProbeCase{"Smallest", uint64_t{1}, uint64_t{1}},
                    ProbeCase{"Largest", uint64_t{4294967295u}, uint64_t{4294967295u}},
                    ProbeCase{"Zero", uint64_t{0}, fail(kSizeMessage)},
                    ProbeCase{"AboveFourGiB", uint64_t{4294967296u}, fail(kSizeMessage)},
                    ProbeCase{"Failure", fail("安装包服务器返回 HTTP 404。"),
                              fail("读取正式安装包大小失败：安装包服务器返回 HTTP 404。")},
                    ProbeCase{"EmptyFailure", fail(""), fail("读取正式安装包大小失败：")}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PolicyDocumentTest, ParsedBodyValidatesIntoTheRelease) {
  const std::string body =
      std::string(R"({"currentVersion":"0.0.0","minSupportedVersion":"1.0.0",)") +
      R"("latestVersion":"1.2.3","downloadUrl":")" + kUrl + R"(",)" + R"("updateSha256":")" +
      kDigest + R"(","installerBytes":4096,)" +
      R"("target":"windows","arch":"x86_64","notes":{"zh":"修复"}})";
  const Result<BootstrapPolicy> policy = parse_bootstrap_policy(body);
  ASSERT_TRUE(policy.has_value()) << policy.error();
  FakeProbe probe(uint64_t{1});
  const Result<VerifiedRelease> release = validate_bootstrap_policy(*policy, probe.callback());
  ASSERT_TRUE(release.has_value()) << release.error();
  EXPECT_EQ(*release, (VerifiedRelease{"1.2.3", kUrl, kDigestUpper, 4096}));
  EXPECT_TRUE(probe.urls().empty());
}

}  // namespace
}  // namespace velmo
