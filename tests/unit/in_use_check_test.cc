#include "product_install/in_use_check.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/os_error.h"
#include "product_files/install_manifest.h"
#include "temp_dir.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace velmo {
namespace {

constexpr uint32_t kMoreData = 234;
constexpr uint32_t kMax = std::numeric_limits<uint32_t>::max();
constexpr uint32_t kSession = 41;

// One scripted answer to get_list.
struct ListAnswer {
  uint32_t result = 0;
  uint32_t needed = 0;
  uint32_t returned = 0;
  std::vector<uint32_t> process_ids;
};

// A Restart Manager that answers from a script and writes down every call,
// in order, as one word each ("start", "register", "list", "end").
class ScriptedRestartManager : public RestartManager {
 public:
  uint32_t start_result = 0;
  uint32_t register_result = 0;
  std::vector<ListAnswer> lists;

  std::vector<std::string> calls;
  std::vector<uint32_t> capacities;
  std::vector<std::string> registered;

  uint32_t start_session(uint32_t& session) override {
    calls.push_back("start");
    if (start_result == 0) {
      session = kSession;
    }
    return start_result;
  }

  uint32_t register_file(uint32_t session, const std::string& path) override {
    calls.push_back("register");
    EXPECT_EQ(session, kSession);
    registered.push_back(path);
    return register_result;
  }

  uint32_t get_list(uint32_t session,
                    uint32_t capacity,
                    uint32_t& needed,
                    uint32_t& returned,
                    std::vector<uint32_t>& process_ids) override {
    calls.push_back("list");
    EXPECT_EQ(session, kSession);
    capacities.push_back(capacity);
    const size_t index = capacities.size() - 1;
    if (index >= lists.size()) {
      ADD_FAILURE() << "get_list called more often than scripted";
      return 1;
    }
    needed = lists[index].needed;
    returned = lists[index].returned;
    process_ids = lists[index].process_ids;
    return lists[index].result;
  }

  void end_session(uint32_t session) override {
    calls.push_back("end");
    EXPECT_EQ(session, kSession);
  }
};

const std::vector<std::string> kStarted = {"start", "register"};

std::vector<std::string> started_then(std::vector<std::string> rest) {
  std::vector<std::string> calls = kStarted;
  calls.insert(calls.end(), rest.begin(), rest.end());
  return calls;
}

struct QueryCase {
  const char* name;
  uint32_t start_result;
  uint32_t register_result;
  std::vector<ListAnswer> lists;
  // Exactly one of the two is set.
  std::optional<InUseAnswer> answer;
  std::optional<std::string> message;
  std::vector<uint32_t> capacities;
  std::vector<std::string> calls;
};

const QueryCase kQueryCases[] = {
    {"NoProcessOnTheFirstCall",
     0,
     0,
     {{0, 0, 0, {}}},
     InUseAnswer{},
     {},
     {0},
     started_then({"list", "end"})},
    {"OneProcessAfterTheBufferGrew",
     0,
     0,
     {{kMoreData, 1, 0, {}}, {0, 1, 1, {4321}}},
     InUseAnswer{true, 4321},
     {},
     {0, 1},
     started_then({"list", "list", "end"})},
    {"FirstNonZeroProcessWins",
     0,
     0,
     {{kMoreData, 2, 0, {}}, {0, 2, 2, {11, 22}}},
     InUseAnswer{true, 11},
     {},
     {0, 2},
     started_then({"list", "list", "end"})},
    {"ZeroProcessIdsAreIgnored",
     0,
     0,
     {{kMoreData, 3, 0, {}}, {0, 3, 3, {0, 0, 99}}},
     InUseAnswer{true, 99},
     {},
     {0, 3},
     started_then({"list", "list", "end"})},
    {"OnlyZeroProcessIdsMeanNotInUse",
     0,
     0,
     {{kMoreData, 2, 0, {}}, {0, 2, 2, {0, 0}}},
     InUseAnswer{},
     {},
     {0, 2},
     started_then({"list", "list", "end"})},
    {"EntriesBeyondTheReturnedCountAreIgnored",
     0,
     0,
     {{kMoreData, 3, 0, {}}, {0, 3, 1, {0, 77, 88}}},
     InUseAnswer{},
     {},
     {0, 3},
     started_then({"list", "list", "end"})},
    {"EntriesBeyondTheCapacityAreIgnored",
     0,
     0,
     {{kMoreData, 1, 0, {}}, {0, 2, 2, {0, 66}}},
     InUseAnswer{},
     {},
     {0, 1},
     started_then({"list", "list", "end"})},
    {"NoBufferMeansNoEntries",
     0,
     0,
     {{0, 1, 1, {55}}},
     InUseAnswer{},
     {},
     {0},
     started_then({"list", "end"})},
    {"NeededBelowTheOldCapacityGrowsByOne",
     0,
     0,
     {{kMoreData, 0, 0, {}}, {kMoreData, 0, 0, {0}}, {0, 0, 0, {0, 0}}},
     InUseAnswer{},
     {},
     {0, 1, 2},
     started_then({"list", "list", "list", "end"})},
    {"NeededAboveTheOldCapacityIsTaken",
     0,
     0,
     {{kMoreData, 5, 0, {}}, {kMoreData, 3, 0, {0, 0, 0, 0, 0}}, {0, 0, 0, {}}},
     InUseAnswer{},
     {},
     {0, 5, 6},
     started_then({"list", "list", "list", "end"})},
    {"CapacitySaturatesAtTheLargestCount",
     0,
     0,
     {{kMoreData, kMax, 0, {}}, {kMoreData, 7, 0, {}}, {0, 0, 0, {}}},
     InUseAnswer{},
     {},
     {0, kMax, kMax},
     started_then({"list", "list", "list", "end"})},
    {"MoreDataThreeTimesIsReported",
     0,
     0,
     {{kMoreData, 1, 0, {}}, {kMoreData, 2, 0, {0}}, {kMoreData, 3, 0, {0, 0}}},
     {},
     "工作台占用状态持续变化，暂时无法安全确认。请稍后点击“重新检测”。",
     {0, 1, 2},
     started_then({"list", "list", "list", "end"})},
    {"StartFailureEndsNothing",
     5,
     0,
     {},
     {},
     "无法检查工作台占用状态（Restart Manager 启动失败，错误码 5）。请稍后点击“重新检测”。",
     {},
     {"start"}},
    {"RegisterFailureEndsTheSession",
     0,
     87,
     {},
     {},
     "无法检查工作台占用状态（登记目标文件失败，错误码 "
     "87）。请确认安装目录可访问后点击“重新检测”。",
     {},
     started_then({"end"})},
    {"ListFailureOnTheFirstCall",
     0,
     0,
     {{1235, 0, 0, {}}},
     {},
     "无法检查工作台占用状态（读取目标文件占用者失败，错误码 "
     "1235）。为避免覆盖运行中的程序，已停止更新。",
     {0},
     started_then({"list", "end"})},
    {"ListFailureAfterGrowingIsInDecimal",
     0,
     0,
     {{kMoreData, 2, 0, {}}, {kMax, 0, 0, {0, 0}}},
     {},
     "无法检查工作台占用状态（读取目标文件占用者失败，错误码 "
     "4294967295）。为避免覆盖运行中的程序，已停止更新。",
     {0, 2},
     started_then({"list", "list", "end"})},
};

// Failures name the case rather than dumping its bytes.
void PrintTo(const QueryCase& c, std::ostream* os) {
  *os << c.name;
}

class QueryTest : public testing::TestWithParam<QueryCase> {
 protected:
  QueryTest() { test::write_file(program_, "MZ"); }

  test::TempDir dir_{"velmo-in-use"};
  std::string program_ = dir_.join(kMainProgramFileName);
};

TEST_P(QueryTest, FollowsTheScript) {
  const QueryCase& c = GetParam();
  ScriptedRestartManager rm;
  rm.start_result = c.start_result;
  rm.register_result = c.register_result;
  rm.lists = c.lists;

  const Result<InUseAnswer> answer = query_workbench_in_use(program_, rm);

  if (c.answer) {
    ASSERT_TRUE(answer.has_value()) << answer.error();
    EXPECT_EQ(*answer, *c.answer);
  } else {
    ASSERT_FALSE(answer.has_value());
    EXPECT_EQ(answer.error(), *c.message);
  }
  EXPECT_EQ(rm.capacities, c.capacities);
  EXPECT_EQ(rm.calls, c.calls);
}

INSTANTIATE_TEST_SUITE_P(Table, QueryTest, testing::ValuesIn(kQueryCases), [](const auto& info) {
  return std::string(info.param.name);
});

class QueryPathTest : public testing::Test {
 protected:
  test::TempDir dir_{"velmo-in-use-path"};
  ScriptedRestartManager rm_;
};

// The system is asked about the object's final name, not the spelling the
// caller used.
TEST_F(QueryPathTest, RegistersTheCanonicalPath) {
  ASSERT_TRUE(create_directories(dir_.join("sub")));
  const std::string program = dir_.join(kMainProgramFileName);
  test::write_file(program, "MZ");
  const std::string roundabout = path_join(path_join(dir_.join("sub"), ".."), kMainProgramFileName);
  rm_.lists = {{0, 0, 0, {}}};

  ASSERT_TRUE(query_workbench_in_use(roundabout, rm_).has_value());

  const OsResult<std::string> canonical = final_path_name(program);
  ASSERT_TRUE(canonical.has_value());
  EXPECT_EQ(rm_.registered, std::vector<std::string>{*canonical});
  EXPECT_NE(*canonical, roundabout);
}

TEST_F(QueryPathTest, MissingPathCannotBeConfirmed) {
  const std::string missing = dir_.join("不在.exe");
  const OsResult<std::string> resolved = final_path_name(missing);
  ASSERT_FALSE(resolved.has_value());

  const Result<InUseAnswer> answer = query_workbench_in_use(missing, rm_);

  ASSERT_FALSE(answer.has_value());
  EXPECT_EQ(answer.error(),
            "无法确认工作台程序路径 " + missing + "：" + describe_os_error(resolved.error()));
  EXPECT_TRUE(rm_.calls.empty());
}

TEST_F(QueryPathTest, DirectoryIsNoProgram) {
  const std::string directory = dir_.join(kMainProgramFileName);
  ASSERT_TRUE(create_directories(directory));
  const OsResult<std::string> canonical = final_path_name(directory);
  ASSERT_TRUE(canonical.has_value());

  const Result<InUseAnswer> answer = query_workbench_in_use(directory, rm_);

  ASSERT_FALSE(answer.has_value());
  EXPECT_EQ(answer.error(), "工作台程序不存在：" + *canonical);
  EXPECT_TRUE(rm_.calls.empty());
}

#ifndef _WIN32
// A link is followed to the program it names, and that program is what the
// system is asked about.
TEST_F(QueryPathTest, LinkIsFollowedToTheProgram) {
  const std::string program = dir_.join("real.exe");
  test::write_file(program, "MZ");
  const std::string link = dir_.join(kMainProgramFileName);
  ASSERT_EQ(::symlink(program.c_str(), link.c_str()), 0);
  rm_.lists = {{0, 0, 0, {}}};

  ASSERT_TRUE(query_workbench_in_use(link, rm_).has_value());

  EXPECT_EQ(rm_.registered, std::vector<std::string>{*final_path_name(program)});
}

// Resolving succeeds for anything that exists; only a regular file is a
// program.
TEST_F(QueryPathTest, LinkToADirectoryOrAPipeIsNoProgram) {
  const std::string directory = dir_.join("dir");
  ASSERT_TRUE(create_directories(directory));
  const std::string pipe = dir_.join("pipe");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  for (const std::string& target : {directory, pipe}) {
    const std::string link = dir_.join("link-to-" + target.substr(target.rfind('/') + 1));
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);

    const Result<InUseAnswer> answer = query_workbench_in_use(link, rm_);

    ASSERT_FALSE(answer.has_value()) << target;
    EXPECT_EQ(answer.error(), "工作台程序不存在：" + *final_path_name(target));
  }
  EXPECT_TRUE(rm_.calls.empty());
}
#endif

// An installation of version 1.4.0 in a directory of its own.
class EnsureNotRunningTest : public testing::Test {
 protected:
  EnsureNotRunningTest() {
    EXPECT_TRUE(create_directories(install_dir_));
    test::write_file(program_, "MZ");
  }

  void write_manifest_naming(const std::string& install_path) {
    ASSERT_TRUE(write_install_manifest(path_join(install_dir_, kInstallManifestFileName),
                                       install_path, path_join(install_path, kMainProgramFileName),
                                       "1.4.0"));
  }

  test::TempDir root_{"velmo-in-use-install"};
  std::string install_dir_ = root_.join("VelmoQen工作台");
  std::string program_ = path_join(install_dir_, kMainProgramFileName);
  ScriptedRestartManager rm_;
};

// Without a manifest of its own the directory holds nothing of ours, so the
// system is not asked at all (a failing Restart Manager would otherwise
// block a fresh install).
TEST_F(EnsureNotRunningTest, UnrecognisedDirectoryIsNotQueried) {
  rm_.start_result = 5;
  EXPECT_TRUE(ensure_workbench_not_running(install_dir_, rm_).has_value());
  const std::string elsewhere = root_.join("elsewhere");
  ASSERT_TRUE(create_directories(elsewhere));
  test::write_file(path_join(elsewhere, kMainProgramFileName), "MZ");
  write_manifest_naming(elsewhere);
  EXPECT_TRUE(ensure_workbench_not_running(install_dir_, rm_).has_value());
  EXPECT_TRUE(rm_.calls.empty());
}

struct EnsureCase {
  const char* name;
  uint32_t start_result;
  std::vector<ListAnswer> lists;
  std::optional<std::string> message;  // nothing: success
};

const EnsureCase kEnsureCases[] = {
    {"NotInUse", 0, {{0, 0, 0, {}}}, {}},
    {"InUse",
     0,
     {{kMoreData, 1, 0, {}}, {0, 1, 1, {808}}},
     "VelmoQen工作台仍在退出，请稍候重新检测后继续更新。"},
    {"QueryFailurePassesOn",
     5,
     {},
     "无法检查工作台占用状态（Restart Manager 启动失败，错误码 5）。请稍后点击“重新检测”。"},
};

void PrintTo(const EnsureCase& c, std::ostream* os) {
  *os << c.name;
}

class EnsureNotRunningTableTest : public EnsureNotRunningTest,
                                  public testing::WithParamInterface<EnsureCase> {};

TEST_P(EnsureNotRunningTableTest, AsksAboutTheMainProgram) {
  const EnsureCase& c = GetParam();
  write_manifest_naming(install_dir_);
  rm_.start_result = c.start_result;
  rm_.lists = c.lists;

  const Status status = ensure_workbench_not_running(install_dir_, rm_);

  if (c.message) {
    ASSERT_FALSE(status.has_value());
    EXPECT_EQ(status.error(), *c.message);
  } else {
    EXPECT_TRUE(status.has_value()) << status.error();
  }
  ASSERT_FALSE(rm_.calls.empty());
  if (c.start_result == 0) {
    EXPECT_EQ(rm_.registered, std::vector<std::string>{*final_path_name(program_)});
  }
}

INSTANTIATE_TEST_SUITE_P(Table,
                         EnsureNotRunningTableTest,
                         testing::ValuesIn(kEnsureCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velmo
