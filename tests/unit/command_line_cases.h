#ifndef VELMO_TESTS_UNIT_COMMAND_LINE_CASES_H_
#define VELMO_TESTS_UNIT_COMMAND_LINE_CASES_H_

#include <string>
#include <vector>

namespace velmo::testing_cases {

// Command lines and how Windows programs split them. Shared by the native
// test and the Windows test that checks the same table against the system's
// own CommandLineToArgvW.
struct CommandLineCase {
  const char* name;
  std::u16string line;
  std::vector<std::string> args;
};

inline std::vector<CommandLineCase> command_line_cases() {
  return {
      {"ProgramOnly", u"velmo.exe", {"velmo.exe"}},
      {"Switches", u"velmo.exe --installer --resume", {"velmo.exe", "--installer", "--resume"}},
      {"QuotedProgramWithSpaces",
       u"\"C:\\Program Files\\Velmo\\velmo.exe\" --install-dir \"D:\\My IDE\"",
       {"C:\\Program Files\\Velmo\\velmo.exe", "--install-dir", "D:\\My IDE"}},
      {"ProgramQuoteHasNoEscapes", u"\"C:\\dir\\\"x y", {"C:\\dir\\", "x", "y"}},
      {"TabsSeparate", u"p\ta\t\tb", {"p", "a", "b"}},
      {"TrailingBlanksAddNothing", u"p a   ", {"p", "a"}},
      {"EmptyQuotedArgument", u"p \"\"", {"p", ""}},
      {"QuotesJoinParts", u"p \"a b\"c", {"p", "a bc"}},
      {"BackslashesAloneAreLiteral", u"p a\\\\b c\\", {"p", "a\\\\b", "c\\"}},
      {"EvenBackslashesBeforeQuoteAreHalved", u"p \"a\\\\\" b", {"p", "a\\", "b"}},
      {"OddBackslashesEscapeTheQuote", u"p a\\\\\\\"b", {"p", "a\\\"b"}},
      {"DoubledQuoteInsideQuotes", u"p \"a\"\"b\"", {"p", "a\"b"}},
      {"ChineseText", u"p --install-dir D:\\工作台", {"p", "--install-dir", "D:\\工作台"}},
      {"WaitOperand",
       u"p --wait-for-process +123 --launch-main",
       {"p", "--wait-for-process", "+123", "--launch-main"}},
  };
}

}  // namespace velmo::testing_cases

#endif  // VELMO_TESTS_UNIT_COMMAND_LINE_CASES_H_
