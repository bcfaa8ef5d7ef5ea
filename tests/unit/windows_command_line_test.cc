#include "platform/windows_command_line.h"

#include <gtest/gtest.h>

#include "main/command_line.h"
#include "platform/utf.h"

namespace velmo {
namespace {

// Whatever the arguments, the child's standard splitting must give them
// back unchanged.
TEST(WindowsCommandLineTest, SplittingGivesBackTheArguments) {
  const std::vector<std::vector<std::string>> argument_lists = {
      {"query", "HKLM\\SOFTWARE\\Key With Spaces\\{F3017226}", "/v", "pv"},
      {""},
      {"a\"b", "\"", "\"\""},
      {"trailing\\", "two\\\\", "C:\\Program Files\\", "x\\\"y"},
      {"tab\there", "new\nline", "vertical\vtab"},
      {"工作台 目录", "--install-dir", "D:\\VelmoQen工作台"},
  };
  const std::string program = "C:\\Windows\\system32\\reg.exe";
  for (const std::vector<std::string>& arguments : argument_lists) {
    const std::string line = build_windows_command_line(program, arguments);
    std::vector<std::string> expected = {program};
    expected.insert(expected.end(), arguments.begin(), arguments.end());
    EXPECT_EQ(split_command_line(utf8_to_utf16(line)), expected) << line;
  }
}

TEST(WindowsCommandLineTest, PlainArgumentsStayUnquoted) {
  EXPECT_EQ(quote_windows_argument("pv"), "pv");
  EXPECT_EQ(quote_windows_argument("/v"), "/v");
  EXPECT_EQ(quote_windows_argument("a\\b\\"), "a\\b\\");
  EXPECT_EQ(quote_windows_argument("a b\\"), "\"a b\\\\\"");
  EXPECT_EQ(quote_windows_argument(""), "\"\"");
}

}  // namespace
}  // namespace velmo
