#include "network/version.h"

#include <gtest/gtest.h>

#include <string>

namespace velmo {
namespace {

struct ValidVersionCase {
  const char* name;
  const char* text;
  VersionTriple expected;
};

class ValidVersionTest : public testing::TestWithParam<ValidVersionCase> {};

TEST_P(ValidVersionTest, ParsesToItsComponents) {
  const ValidVersionCase& c = GetParam();
  EXPECT_TRUE(is_valid_version(c.text));
  const Result<VersionTriple> version = parse_version(c.text);
  ASSERT_TRUE(version.has_value()) << version.error();
  EXPECT_EQ(version->major, c.expected.major);
  EXPECT_EQ(version->minor, c.expected.minor);
  EXPECT_EQ(version->patch, c.expected.patch);
}

INSTANTIATE_TEST_SUITE_P(
    Table,
    ValidVersionTest,
    testing::Values(
        ValidVersionCase{"AllZero", "0.0.0", {0, 0, 0}},
        ValidVersionCase{"Simple", "1.2.3", {1, 2, 3}},
        ValidVersionCase{"MultiDigit", "10.20.30", {10, 20, 30}},
        ValidVersionCase{"ZeroBetweenNumbers", "1.0.9", {1, 0, 9}},
        ValidVersionCase{"TrailingZeroDigits", "100.200.1000", {100, 200, 1000}},
        ValidVersionCase{"MaximumEverywhere", "65535.65535.65535", {65535, 65535, 65535}},
        ValidVersionCase{"MaximumMajorOnly", "65535.0.0", {65535, 0, 0}},
        ValidVersionCase{"MaximumPatchOnly", "0.0.65535", {0, 0, 65535}}),
    [](const auto& info) { return std::string(info.param.name); });

struct InvalidVersionCase {
  const char* name;
  std::string text;
};

class InvalidVersionTest : public testing::TestWithParam<InvalidVersionCase> {};

TEST_P(InvalidVersionTest, IsRefusedWithTheTextInTheMessage) {
  const std::string& text = GetParam().text;
  EXPECT_FALSE(is_valid_version(text));
  const Result<VersionTriple> version = parse_version(text);
  ASSERT_FALSE(version.has_value());
  EXPECT_EQ(version.error(), "版本号格式无效：" + text);
}

INSTANTIATE_TEST_SUITE_P(
    Table,
    InvalidVersionTest,
    testing::Values(InvalidVersionCase{"Empty", ""},
                    InvalidVersionCase{"TwoComponents", "1.2"},
                    InvalidVersionCase{"FourComponents", "1.2.3.4"},
                    InvalidVersionCase{"TrailingDot", "1.2.3."},
                    InvalidVersionCase{"LeadingDot", ".1.2"},
                    InvalidVersionCase{"LeadingDotThreeComponents", ".1.2.3"},
                    InvalidVersionCase{"DoubleDot", "1..2.3"},
                    InvalidVersionCase{"EmptyMiddle", "1..3"},
                    InvalidVersionCase{"OnlyDots", ".."},
                    InvalidVersionCase{"PreReleaseSuffix", "1.2.3-beta"},
                    InvalidVersionCase{"BuildSuffix", "1.2.3+7"},
                    InvalidVersionCase{"LetterPrefix", "v1.2.3"},
                    InvalidVersionCase{"PlusSign", "+1.2.3"},
                    InvalidVersionCase{"MinusSign", "-1.2.3"},
                    InvalidVersionCase{"SignInsideComponent", "1.+2.3"},
                    InvalidVersionCase{"LeadingSpace", " 1.2.3"},
                    InvalidVersionCase{"TrailingSpace", "1.2.3 "},
                    InvalidVersionCase{"TrailingNewline", "1.2.3\n"},
                    InvalidVersionCase{"SpaceAfterDot", "1. 2.3"},
                    InvalidVersionCase{"EmbeddedNul", std::string("1.2.3\0", 6)},
                    InvalidVersionCase{"LeadingZeroMajor", "01.2.3"},
                    InvalidVersionCase{"LeadingZeroMinor", "1.02.3"},
                    InvalidVersionCase{"LeadingZeroPatch", "1.2.03"},
                    InvalidVersionCase{"DoubleZero", "1.00.3"},
                    InvalidVersionCase{"MajorJustAboveMaximum", "65536.0.0"},
                    InvalidVersionCase{"MinorJustAboveMaximum", "0.65536.0"},
                    InvalidVersionCase{"PatchJustAboveMaximum", "0.0.65536"},
                    InvalidVersionCase{"AboveMaximumByDigitCount", "1.2.100000"},
                    // Wraps to 0 in 32 bits if the bound were checked only at the end.
                    InvalidVersionCase{"WrapsThirtyTwoBits", "1.2.4294967296"},
                    InvalidVersionCase{"VeryLongDigitRun", "1.2." + std::string(400, '9')},
                    InvalidVersionCase{"HexComponent", "0x1.2.3"},
                    InvalidVersionCase{"FullWidthDigit", "\xEF\xBC\x91.2.3"},
                    InvalidVersionCase{"CommaSeparator", "1,2,3"}),
    [](const auto& info) { return std::string(info.param.name); });

struct CompareCase {
  const char* name;
  const char* a;
  const char* b;
  std::strong_ordering expected;
};

class CompareVersionsTest : public testing::TestWithParam<CompareCase> {};

TEST_P(CompareVersionsTest, OrdersNumerically) {
  const CompareCase& c = GetParam();
  const Result<std::strong_ordering> order = compare_versions(c.a, c.b);
  ASSERT_TRUE(order.has_value()) << order.error();
  EXPECT_EQ(*order, c.expected);
  // The reverse comparison must agree.
  const Result<std::strong_ordering> reverse = compare_versions(c.b, c.a);
  ASSERT_TRUE(reverse.has_value()) << reverse.error();
  EXPECT_EQ(*reverse, 0 <=> c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table,
    CompareVersionsTest,
    testing::Values(
        CompareCase{"Equal", "1.2.3", "1.2.3", std::strong_ordering::equal},
        CompareCase{"PatchDecides", "1.2.4", "1.2.3", std::strong_ordering::greater},
        CompareCase{"MinorBeatsPatch", "1.3.0", "1.2.9", std::strong_ordering::greater},
        CompareCase{"MajorBeatsMinor", "2.0.0", "1.65535.65535", std::strong_ordering::greater},
        CompareCase{"NumericNotTextual", "1.10.0", "1.9.0", std::strong_ordering::greater},
        CompareCase{"NumericPatch", "1.2.10", "1.2.9", std::strong_ordering::greater},
        CompareCase{"ZeroIsLowest", "0.0.0", "0.0.1", std::strong_ordering::less},
        CompareCase{"MaximumValues", "65535.65535.65535", "65535.65535.65534",
                    std::strong_ordering::greater}),
    [](const auto& info) { return std::string(info.param.name); });

struct CompareFailureCase {
  const char* name;
  const char* a;
  const char* b;
  const char* message;
};

class CompareVersionsFailureTest : public testing::TestWithParam<CompareFailureCase> {};

TEST_P(CompareVersionsFailureTest, ReportsTheFirstInvalidVersion) {
  const CompareFailureCase& c = GetParam();
  const Result<std::strong_ordering> order = compare_versions(c.a, c.b);
  ASSERT_FALSE(order.has_value());
  EXPECT_EQ(order.error(), c.message);
}

INSTANTIATE_TEST_SUITE_P(Table,
                         CompareVersionsFailureTest,
                         testing::Values(CompareFailureCase{"FirstInvalid", "1.2", "1.2.3",
                                                            "版本号格式无效：1.2"},
                                         CompareFailureCase{"SecondInvalid", "1.2.3", "1.2.3-rc1",
                                                            "版本号格式无效：1.2.3-rc1"},
                                         CompareFailureCase{"BothInvalidFirstWins", "a.b.c", "x",
                                                            "版本号格式无效：a.b.c"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velmo
