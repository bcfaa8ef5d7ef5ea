#include "platform/windows_path.h"

#include <gtest/gtest.h>

namespace velmo {
namespace {

struct ParentCase {
  std::string path;
  std::optional<std::string> parent;
  std::string name;
};

class WindowsPathTest : public testing::TestWithParam<ParentCase> {};

TEST_P(WindowsPathTest, ParentAndName) {
  EXPECT_EQ(parent_path(GetParam().path), GetParam().parent) << GetParam().path;
  EXPECT_EQ(file_name(GetParam().path), GetParam().name) << GetParam().path;
}

INSTANTIATE_TEST_SUITE_P(
    Table,
    WindowsPathTest,
    testing::Values(ParentCase{"D:\\IDE\\运行组件\\a.exe", "D:\\IDE\\运行组件", "a.exe"},
                    ParentCase{"D:\\IDE\\运行组件", "D:\\IDE", "运行组件"},
                    ParentCase{"D:\\IDE\\", "D:\\", "IDE"},
                    ParentCase{"D:\\a.exe", "D:\\", "a.exe"},
                    ParentCase{"D:/IDE/a.exe", "D:/IDE", "a.exe"},
                    ParentCase{"D:\\IDE\\\\a.exe", "D:\\IDE", "a.exe"},
                    ParentCase{"D:\\", std::nullopt, ""},
                    ParentCase{"a.exe", std::nullopt, "a.exe"},
                    ParentCase{"", std::nullopt, ""},
                    ParentCase{"\\\\server\\share\\a.exe", "\\\\server\\share", "a.exe"}));

TEST(JoinPathTest, AddsOneSeparator) {
  EXPECT_EQ(join_path("D:\\IDE", "x.exe"), "D:\\IDE\\x.exe");
  EXPECT_EQ(join_path("D:\\", "x.exe"), "D:\\x.exe");
  EXPECT_EQ(join_path("", "x.exe"), "x.exe");
}

}  // namespace
}  // namespace velmo
