#include "velmo-diag/diag_commands.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace velmo::diag {
namespace {

struct DiagRun {
  int code;
  std::string out;
  std::string err;
};

DiagRun run(const std::vector<std::string>& args) {
  std::ostringstream out;
  std::ostringstream err;
  const int code = run_diag(args, out, err);
  return {code, out.str(), err.str()};
}

TEST(DiagTest, VersionPrintsOneJsonLine) {
  const DiagRun r = run({"version"});
  EXPECT_EQ(r.code, kExitSuccess);
  EXPECT_EQ(r.out, "{\"version\":\"1.0.0\"}\n");
  EXPECT_TRUE(r.err.empty());
}

TEST(DiagTest, Sha256PrintsUpperCaseDigest) {
  const auto path = std::filesystem::temp_directory_path() / "velmo-diag-test-abc.txt";
  std::ofstream(path, std::ios::binary) << "abc";
  const DiagRun r = run({"sha256", path.string()});
  std::filesystem::remove(path);
  EXPECT_EQ(r.code, kExitSuccess);
  EXPECT_EQ(r.out,
            "{\"sha256\":\"BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD\"}\n");
}

TEST(DiagTest, FailurePrintsTheAssistantsMessageAsOneLine) {
  const auto path = std::filesystem::temp_directory_path() / "velmo-diag-test-missing.bin";
  std::filesystem::remove(path);
  const DiagRun r = run({"sha256", path.string()});
  EXPECT_EQ(r.code, kExitFailure);
  EXPECT_TRUE(r.out.empty());
  EXPECT_TRUE(r.err.starts_with("读取校验文件失败：")) << r.err;
  EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
}

struct UsageCase {
  const char* name;
  std::vector<std::string> args;
};

class DiagUsageTest : public testing::TestWithParam<UsageCase> {};

TEST_P(DiagUsageTest, ExitsWithUsage) {
  const DiagRun r = run(GetParam().args);
  EXPECT_EQ(r.code, kExitUsage);
  EXPECT_TRUE(r.out.empty());
  EXPECT_NE(r.err.find("usage: velmo-diag"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Table,
                         DiagUsageTest,
                         testing::Values(UsageCase{"NoCommand", {}},
                                         UsageCase{"UnknownCommand", {"frobnicate"}},
                                         UsageCase{"VersionWithExtra", {"version", "x"}},
                                         UsageCase{"Sha256WithoutFile", {"sha256"}},
                                         UsageCase{"Sha256WithTwoFiles", {"sha256", "a", "b"}}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velmo::diag
