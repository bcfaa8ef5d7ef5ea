#include "platform/process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "test_process.h"

namespace velmo {
namespace {

using namespace std::chrono_literals;

TEST(ProcessTest, ProgramPathIsThisExecutable) {
  const auto path = current_program_path();
  ASSERT_TRUE(path.has_value());
  EXPECT_TRUE(path->ends_with("velmo_windows_tests.exe")) << *path;
  EXPECT_EQ(path->find('/'), std::string::npos) << *path;
}

TEST(ProcessTest, TempDirectoryEndsWithSeparator) {
  const auto temp = temp_directory();
  ASSERT_TRUE(temp.has_value());
  EXPECT_TRUE(temp->ends_with("\\")) << *temp;
}

TEST(ProcessTest, ProcessIdIsTheSystems) {
  EXPECT_EQ(current_process_id(), ::GetCurrentProcessId());
}

TEST(WaitForProcessTest, ProcessThatCannotBeOpenedIsNotWaitedFor) {
  // Process ids are multiples of 4; this one is never handed out.
  const auto started = std::chrono::steady_clock::now();
  EXPECT_FALSE(wait_for_process_exit(0xFFFFFFF1));
  EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);
}

TEST(WaitForProcessTest, ReturnsOnlyAfterTheProcessEnded) {
  const std::wstring sleeper_exe = test::windows_path_from_env("VELMO_SLEEPER_EXE");
  ASSERT_FALSE(sleeper_exe.empty());
  auto sleeper = test::start_process(sleeper_exe, L"60000");
  ASSERT_TRUE(sleeper.has_value());
  std::thread ender([&] {
    std::this_thread::sleep_for(700ms);
    sleeper->terminate();
  });
  const auto started = std::chrono::steady_clock::now();
  EXPECT_TRUE(wait_for_process_exit(sleeper->id()));
  const auto waited = std::chrono::steady_clock::now() - started;
  ender.join();
  EXPECT_GE(waited, 600ms);
  EXPECT_FALSE(sleeper->running());
}

}  // namespace
}  // namespace velmo
