#include "platform/utf.h"

#include <gtest/gtest.h>

namespace velmo {
namespace {

struct Utf8Case {
  const char* name;
  std::string utf8;
  std::u16string utf16;
};

class Utf8ToUtf16Test : public testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8ToUtf16Test, Converts) {
  EXPECT_EQ(utf8_to_utf16(GetParam().utf8), GetParam().utf16);
}

INSTANTIATE_TEST_SUITE_P(
    Table,
    Utf8ToUtf16Test,
    testing::Values(Utf8Case{"Empty", "", u""},
                    Utf8Case{"Ascii", "abc", u"abc"},
                    Utf8Case{"Chinese", "工作台", u"工作台"},
                    Utf8Case{"SupplementaryPlane", "\xF0\x9F\x98\x80", u"\U0001F600"},
                    Utf8Case{"StrayContinuation", "a\x80z", u"a\uFFFDz"},
                    Utf8Case{"TruncatedSequence", "\xE5\xB7", u"\uFFFD"},
                    Utf8Case{"TruncatedThenAscii", "\xE5\xB7x", u"\uFFFDx"},
                    Utf8Case{"OverlongSlash", "\xC0\xAF", u"\uFFFD\uFFFD"},
                    Utf8Case{"EncodedSurrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
                    Utf8Case{"AboveMaximum", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
                    Utf8Case{"InvalidLead", "\xFF", u"\uFFFD"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Utf16ToUtf8Test, ConvertsValidText) {
  EXPECT_EQ(utf16_to_utf8(u"Velmo 工作台 \U0001F600"), "Velmo 工作台 \xF0\x9F\x98\x80");
}

TEST(Utf16ToUtf8Test, ReplacesUnpairedSurrogates) {
  const char16_t lone_high[] = {u'a', 0xD800, u'b', 0};
  const char16_t lone_low[] = {0xDC00, 0};
  const char16_t reversed[] = {0xDC00, 0xD800, 0};
  EXPECT_EQ(utf16_to_utf8(lone_high),
            "a\xEF\xBF\xBD"
            "b");
  EXPECT_EQ(utf16_to_utf8(lone_low), "\xEF\xBF\xBD");
  EXPECT_EQ(utf16_to_utf8(reversed), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(Utf16ToUtf8Test, HighSurrogateAtEndIsReplaced) {
  const char16_t text[] = {u'x', 0xDBFF, 0};
  EXPECT_EQ(utf16_to_utf8(text), "x\xEF\xBF\xBD");
}

TEST(UtfRoundTripTest, ValidTextSurvivesBothWays) {
  const std::string text = "C:\\Program Files\\VelmoQen工作台\\运行组件\\启动器 \U0001F600.exe";
  EXPECT_EQ(utf16_to_utf8(utf8_to_utf16(text)), text);
}

struct Utf8ValidityCase {
  std::string text;
  bool valid;
};

TEST(Utf8ValidityTest, RejectsEveryMalformedForm) {
  const Utf8ValidityCase cases[] = {
      {"", true},
      {"plain ascii", true},
      {"工作台", true},
      {"\xEF\xBF\xBD", true},      // U+FFFD written out is valid
      {"\xF0\x9F\x98\x80", true},  // outside the BMP
      {"\xFF", false},
      {"\xC0\xAF", false},          // overlong
      {"\xED\xA0\x80", false},      // surrogate
      {"\xF4\x90\x80\x80", false},  // above U+10FFFF
      {"\xE5\xB7", false},          // cut short
      {"ok\x80", false},            // stray continuation
  };
  for (const Utf8ValidityCase& c : cases) {
    EXPECT_EQ(is_valid_utf8(c.text), c.valid) << testing::PrintToString(c.text);
  }
}

TEST(TrimWhiteSpaceTest, RemovesUnicodeWhiteSpaceAtBothEndsOnly) {
  EXPECT_EQ(trim_white_space("D:\\IDE\r\n"), "D:\\IDE");
  EXPECT_EQ(trim_white_space(" \t\xE3\x80\x80"
                             "D:\\My IDE\xC2\xA0\xE2\x80\xA8"),
            "D:\\My IDE");
  EXPECT_EQ(trim_white_space("\xC2\x85\xE1\x9A\x80x\xE2\x80\x8A"), "x");
  EXPECT_EQ(trim_white_space(" \r\n\v\f "), "");
  EXPECT_EQ(trim_white_space(""), "");
  // Zero-width space is not White_Space, and damage is kept as it is.
  EXPECT_EQ(trim_white_space("\xE2\x80\x8Bx "), "\xE2\x80\x8Bx");
  EXPECT_EQ(trim_white_space(" \xFFx\xFF "), "\xFFx\xFF");
}

}  // namespace
}  // namespace velmo
