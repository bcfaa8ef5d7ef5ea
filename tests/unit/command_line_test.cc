#include "main/command_line.h"

#include <gtest/gtest.h>

#include "command_line_cases.h"

namespace velmo {
namespace {

using testing_cases::CommandLineCase;

class SplitCommandLineTest : public testing::TestWithParam<CommandLineCase> {};

TEST_P(SplitCommandLineTest, SplitsLikeWindows) {
  EXPECT_EQ(split_command_line(GetParam().line), GetParam().args);
}

INSTANTIATE_TEST_SUITE_P(Table,
                         SplitCommandLineTest,
                         testing::ValuesIn(testing_cases::command_line_cases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SplitCommandLineEdgeTest, EmptyLineHasNoArguments) {
  EXPECT_TRUE(split_command_line(u"").empty());
}

TEST(SplitCommandLineEdgeTest, UnpairedSurrogateBecomesReplacement) {
  const char16_t line[] = {u'p', u' ', 0xD800, 0};
  EXPECT_EQ(split_command_line(line), (std::vector<std::string>{"p", "\xEF\xBF\xBD"}));
}

}  // namespace
}  // namespace velmo
