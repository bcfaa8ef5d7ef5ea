#include "platform/captured_process.h"

#include <gtest/gtest.h>

#include "../unit/temp_dir.h"

namespace velmo {
namespace {

#ifdef _WIN32
const std::string kShell = system_program_path("cmd.exe");
std::vector<std::string> shell_script(const std::string& script) {
  return {"/c", script};
}
const char* kPrintBoth = "echo out& echo err 1>&2& exit 3";
const char* kPrintWhere = "cd";
#else
const std::string kShell = "/bin/sh";
std::vector<std::string> shell_script(const std::string& script) {
  return {"-c", script};
}
const char* kPrintBoth = "echo out; echo err >&2; exit 3";
const char* kPrintWhere = "pwd";
#endif

TEST(CapturedProcessTest, KeepsStandardOutputAndTheExitCode) {
  const OsResult<CapturedRun> run = run_captured(kShell, shell_script(kPrintBoth));
  ASSERT_TRUE(run.has_value()) << run.error().text;
  EXPECT_EQ(run->exit_code, 3u);
  EXPECT_NE(run->standard_output.find("out"), std::string::npos);
  EXPECT_EQ(run->standard_output.find("err"), std::string::npos);
}

// reg.exe and attrib.exe must not look around the folder the assistant was
// started from (often Downloads): they start in the system directory.
TEST(CapturedProcessTest, StartsInTheSystemDirectory) {
  const test::TempDir downloads{"velmo-captured-downloads"};
  const test::ScopedCurrentDirectory started_from(downloads.path());
  const OsResult<CapturedRun> run = run_captured(kShell, shell_script(kPrintWhere));
  ASSERT_TRUE(run.has_value()) << run.error().text;
  std::string where = run->standard_output;
  while (!where.empty() && (where.back() == '\n' || where.back() == '\r')) {
    where.pop_back();
  }
  ASSERT_FALSE(system_directory().empty());
  EXPECT_EQ(where, system_directory());
}

TEST(CapturedProcessTest, MissingProgramFailsToStart) {
  const OsResult<CapturedRun> run =
      run_captured(system_program_path("velmo-no-such-program.exe"), {});
  EXPECT_FALSE(run.has_value());
}

#ifndef _WIN32
TEST(CapturedProcessTest, StandardInputIsEmptyAndLargeOutputIsCapped) {
  const OsResult<CapturedRun> input = run_captured(kShell, shell_script("wc -c"));
  ASSERT_TRUE(input.has_value());
  EXPECT_EQ(input->standard_output, "0\n");

  // More than the cap on both streams: the child must not block on a full
  // pipe, and only the cap is kept.
  const OsResult<CapturedRun> big = run_captured(
      kShell, shell_script("head -c 3000000 /dev/zero; head -c 3000000 /dev/zero >&2"));
  ASSERT_TRUE(big.has_value());
  EXPECT_EQ(big->exit_code, 0u);
  EXPECT_EQ(big->standard_output.size(), kMaxCapturedBytes);
}
#endif

}  // namespace
}  // namespace velmo
