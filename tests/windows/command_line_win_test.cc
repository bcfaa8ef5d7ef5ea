// The splitter must agree with the system's own CommandLineToArgvW.
#include <gtest/gtest.h>

#include <windows.h>

#include <shellapi.h>

#include "../unit/command_line_cases.h"
#include "main/command_line.h"
#include "platform/win/wide.h"

namespace velmo {
namespace {

using testing_cases::CommandLineCase;

std::vector<std::string> system_split(const std::u16string& line) {
  int count = 0;
  const std::wstring wide(line.begin(), line.end());
  LPWSTR* argv = ::CommandLineToArgvW(wide.c_str(), &count);
  std::vector<std::string> args;
  if (argv == nullptr) {
    return args;
  }
  for (int i = 0; i < count; ++i) {
    args.push_back(from_wide(argv[i]));
  }
  ::LocalFree(argv);
  return args;
}

class SystemSplitTest : public testing::TestWithParam<CommandLineCase> {};

TEST_P(SystemSplitTest, AgreesWithCommandLineToArgvW) {
  EXPECT_EQ(split_command_line(GetParam().line), system_split(GetParam().line));
}

INSTANTIATE_TEST_SUITE_P(Table,
                         SystemSplitTest,
                         testing::ValuesIn(testing_cases::command_line_cases()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velmo
