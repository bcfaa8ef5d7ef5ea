#include "platform/os_error.h"

#include <gtest/gtest.h>

namespace velmo {
namespace {

TEST(OsErrorTest, DescribeAppendsTheCode) {
  EXPECT_EQ(describe_os_error(OsError{5, "拒绝访问。"}), "拒绝访问。 (os error 5)");
}

TEST(OsErrorTest, PhraseWithErrorUsesFullWidthColon) {
  EXPECT_EQ(phrase_with_error("读取校验文件失败", OsError{2, "系统找不到指定的文件。"}),
            "读取校验文件失败：系统找不到指定的文件。 (os error 2)");
}

TEST(OsErrorTest, StageErrorShowsDecimalCode) {
  EXPECT_EQ(format_stage_error("发送更新策略请求失败", 12029),
            "发送更新策略请求失败，错误码 12029。");
}

TEST(OsErrorTest, ErrorTextComesFromTheSystem) {
  // The text of a well-known code is the system's own, never empty.
  const OsError error = os_error_from_code(2);
  EXPECT_EQ(error.code, 2u);
  EXPECT_FALSE(error.text.empty());
  EXPECT_NE(error.text.back(), '\n');
  EXPECT_NE(error.text.back(), '\r');
}

}  // namespace
}  // namespace velmo
