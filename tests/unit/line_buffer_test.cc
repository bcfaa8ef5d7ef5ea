#include "common/line_buffer.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace velmo::tools {
namespace {

// What reaches the sink, one entry per call.
struct LineCase {
  std::string name;
  std::function<void(std::ostream&)> write;
  std::vector<std::string> calls;
};

class LineBufferTest : public testing::TestWithParam<LineCase> {};

TEST_P(LineBufferTest, EachCompleteLineLeavesInOneCall) {
  std::vector<std::string> calls;
  {
    LineBuffer buffer([&](std::string_view line) { calls.emplace_back(line); });
    std::ostream out(&buffer);
    GetParam().write(out);
  }
  EXPECT_EQ(calls, GetParam().calls);
}

INSTANTIATE_TEST_SUITE_P(
    Table,
    LineBufferTest,
    testing::Values(LineCase{"PiecesOfOneLine",
                             [](std::ostream& out) { out << "{\"percent\":" << 37 << '}' << '\n'; },
                             {"{\"percent\":37}\n"}},
                    LineCase{"SeveralLinesInOneWrite",
                             [](std::ostream& out) { out << "a\nbc\n\nd\n"; },
                             {"a\n", "bc\n", "\n", "d\n"}},
                    LineCase{"UnfinishedLineAtTheEnd",
                             [](std::ostream& out) { out << "a\nunfinished"; },
                             {"a\n", "unfinished"}},
                    LineCase{"FlushHandsOverWhatIsPending",
                             [](std::ostream& out) { out << "usage: x" << std::flush << " y\n"; },
                             {"usage: x", " y\n"}},
                    LineCase{"NothingWritten", [](std::ostream&) {}, {}},
                    LineCase{"LongLine",
                             [](std::ostream& out) { out << std::string(200000, 'x') << '\n'; },
                             {std::string(200000, 'x') + "\n"}}),
    [](const testing::TestParamInfo<LineCase>& info) { return info.param.name; });

#ifndef _WIN32
// The real sink: every byte arrives, in order, through a pipe.
TEST(DescriptorSinkTest, WritesEveryByte) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  const std::string line = "{\"event\":\"Progress\"}\n";
  descriptor_sink(fds[1])(line);
  ::close(fds[1]);
  std::string received(line.size() + 1, '\0');
  const ssize_t n = ::read(fds[0], received.data(), received.size());
  ::close(fds[0]);
  ASSERT_EQ(n, static_cast<ssize_t>(line.size()));
  received.resize(static_cast<size_t>(n));
  EXPECT_EQ(received, line);
}
#endif

}  // namespace
}  // namespace velmo::tools
