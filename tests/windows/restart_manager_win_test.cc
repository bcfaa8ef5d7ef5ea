#include "platform/restart_manager.h"

#include <gtest/gtest.h>

#include <windows.h>

#include "../unit/temp_dir.h"
#include "platform/file_system.h"
#include "product_install/in_use_check.h"

namespace velmo {
namespace {

// The real Restart Manager under Wine, which never names a process: these
// tests prove the calls themselves are made correctly (each one accepted,
// sessions ended), not that holders are found.
class SystemRestartManagerTest : public testing::Test {
 protected:
  SystemRestartManagerTest() { test::write_file(file_, "MZ"); }

  test::TempDir dir_{"velmo-rm"};
  std::string file_ = dir_.join("VelmoQen工作台.exe");
};

TEST_F(SystemRestartManagerTest, EachCallIsAccepted) {
  RestartManager& rm = system_restart_manager();
  uint32_t session = static_cast<uint32_t>(-1);
  ASSERT_EQ(rm.start_session(session), static_cast<uint32_t>(ERROR_SUCCESS));
  EXPECT_NE(session, static_cast<uint32_t>(-1));
  const OsResult<std::string> canonical = final_path_name(file_);
  ASSERT_TRUE(canonical.has_value());
  EXPECT_EQ(rm.register_file(session, *canonical), static_cast<uint32_t>(ERROR_SUCCESS));

  for (const uint32_t capacity : {0u, 4u}) {
    uint32_t needed = 99;
    uint32_t returned = 99;
    std::vector<uint32_t> ids(1, 7);
    EXPECT_EQ(rm.get_list(session, capacity, needed, returned, ids),
              static_cast<uint32_t>(ERROR_SUCCESS))
        << capacity;
    EXPECT_EQ(needed, 0u) << capacity;
    EXPECT_EQ(returned, 0u) << capacity;
    // One id per entry of the zero-filled buffer.
    EXPECT_EQ(ids, std::vector<uint32_t>(capacity, 0)) << capacity;
  }
  rm.end_session(session);
}

// Windows allows a user only a few dozen sessions at once, so a query that
// leaked its session would start failing well before the hundredth round;
// the process's handle count must not creep either.
TEST_F(SystemRestartManagerTest, RepeatedQueriesSucceedAndReleaseEverything) {
  ASSERT_TRUE(query_workbench_in_use(file_).has_value());
  DWORD handles_before = 0;
  ASSERT_TRUE(::GetProcessHandleCount(::GetCurrentProcess(), &handles_before));

  for (int round = 0; round < 100; ++round) {
    const Result<InUseAnswer> answer = query_workbench_in_use(file_);
    ASSERT_TRUE(answer.has_value()) << round << ": " << answer.error();
    EXPECT_EQ(*answer, InUseAnswer{}) << round;
  }

  DWORD handles_after = 0;
  ASSERT_TRUE(::GetProcessHandleCount(::GetCurrentProcess(), &handles_after));
  EXPECT_EQ(handles_after, handles_before);
}

}  // namespace
}  // namespace velmo
