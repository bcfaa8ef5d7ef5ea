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

}  // namespace
}  // namespace velmo
