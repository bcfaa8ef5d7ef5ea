// Watching a started program: its exit code once it ended, nothing while it
// runs, and the working directory it was given. The Windows backend (windows
// and exit codes of a real GUI program) is seen by the launch test under Wine.
#include "platform/watched_process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/file_system.h"
#include "temp_dir.h"

namespace velmo {
namespace {

#ifndef _WIN32

using namespace std::chrono_literals;

// The exit code once the program ended within 10 s.
std::optional<int32_t> exit_code_of(const WatchedProcess& process) {
  for (int i = 0; i < 1000; ++i) {
    OsResult<std::optional<int32_t>> code = process.exit_code();
    EXPECT_TRUE(code.has_value());
    if (!code || code->has_value()) {
      return code ? *code : std::nullopt;
    }
    std::this_thread::sleep_for(10ms);
  }
  return std::nullopt;
}

TEST(WatchedProcessTest, ReportsTheSignedExitCodeOnceItEnded) {
  OsResult<WatchedProcess> process = WatchedProcess::start("/bin/sh", {"-c", "exit 3"}, "/");
  ASSERT_TRUE(process.has_value());
  EXPECT_GT(process->id(), 0u);
  EXPECT_EQ(exit_code_of(*process), 3);
  EXPECT_FALSE(process->has_visible_window());
}

TEST(WatchedProcessTest, NothingWhileItRuns) {
  OsResult<WatchedProcess> process = WatchedProcess::start("/bin/sh", {"-c", "sleep 0.3"}, "/");
  ASSERT_TRUE(process.has_value());
  const OsResult<std::optional<int32_t>> running = process->exit_code();
  ASSERT_TRUE(running.has_value());
  EXPECT_EQ(*running, std::nullopt);
  EXPECT_EQ(exit_code_of(*process), 0);
}

TEST(WatchedProcessTest, RunsInTheGivenDirectory) {
  test::TempDir dir;
  OsResult<WatchedProcess> process =
      WatchedProcess::start("/bin/sh", {"-c", "pwd -P > here.txt"}, dir.path());
  ASSERT_TRUE(process.has_value());
  ASSERT_EQ(exit_code_of(*process), 0);
  const std::string expected = std::filesystem::canonical(dir.path()).string() + "\n";
  EXPECT_EQ(test::read_file(dir.join("here.txt")), expected);
}

TEST(WatchedProcessTest, AProgramThatIsNotThereFails) {
  EXPECT_FALSE(WatchedProcess::start("/nonexistent/program", {}, "/").has_value());
}

#endif  // !_WIN32

TEST(DirectoryNamesTest, ListsEveryNameButTheDots) {
  test::TempDir dir;
  test::write_file(dir.join("a.package"), "a");
  ASSERT_TRUE(create_directories(dir.join("sub")).has_value());
  std::vector<std::string> names = directory_names(dir.path());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"a.package", "sub"}));
  EXPECT_TRUE(directory_names(dir.join("missing")).empty());
}

}  // namespace
}  // namespace velmo
