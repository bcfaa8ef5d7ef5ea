// The process scan that stands in for Wine's Restart Manager in the window
// tests must itself be right, or those tests would see a wait that the real
// program never does.
#include "process_scan_restart_manager.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <string>

#include "platform/win/wide.h"
#include "product_install/in_use_check.h"
#include "test_process.h"

namespace velmo {
namespace {

using namespace std::chrono_literals;

class ProcessScanTest : public testing::Test {
 protected:
  void SetUp() override {
    sleeper_exe_ = test::windows_path_from_env("VELMO_SLEEPER_EXE");
    ASSERT_FALSE(sleeper_exe_.empty()) << "VELMO_SLEEPER_EXE is not set";
  }

  Result<InUseAnswer> ask(const std::wstring& path) {
    test::ProcessScanRestartManager scan;
    return query_workbench_in_use(from_wide(path), scan);
  }

  std::wstring sleeper_exe_;
};

TEST_F(ProcessScanTest, NamesTheProcessRunningTheProgramUntilItEnds) {
  auto sleeper = test::start_process(sleeper_exe_, L"60000");
  ASSERT_TRUE(sleeper.has_value());

  const Result<InUseAnswer> running = ask(sleeper_exe_);
  ASSERT_TRUE(running.has_value()) << running.error();
  EXPECT_TRUE(running->in_use);
  EXPECT_EQ(running->process_id, sleeper->id());

  sleeper->terminate();
  ASSERT_TRUE(sleeper->wait(10s).has_value());
  const Result<InUseAnswer> ended = ask(sleeper_exe_);
  ASSERT_TRUE(ended.has_value()) << ended.error();
  EXPECT_FALSE(ended->in_use);
}

TEST_F(ProcessScanTest, ACopyOfARunningProgramIsNotInUse) {
  auto sleeper = test::start_process(sleeper_exe_, L"60000");
  ASSERT_TRUE(sleeper.has_value());
  wchar_t temp[MAX_PATH] = {};
  ASSERT_NE(::GetTempPathW(MAX_PATH, temp), 0u);
  const std::wstring copy =
      std::wstring(temp) + L"velmo-scan-copy-" + std::to_wstring(::GetCurrentProcessId()) + L".exe";
  ASSERT_TRUE(::CopyFileW(sleeper_exe_.c_str(), copy.c_str(), FALSE));

  const Result<InUseAnswer> answer = ask(copy);
  ::DeleteFileW(copy.c_str());
  ASSERT_TRUE(answer.has_value()) << answer.error();
  EXPECT_FALSE(answer->in_use);
}

}  // namespace
}  // namespace velmo
