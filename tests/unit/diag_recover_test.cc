#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "diag_run.h"
#include "install_fixture.h"
#include "platform/file_system.h"

namespace velmo::diag {
namespace {

using test::InstallFixture;

std::vector<nlohmann::json> json_lines(const std::string& text) {
  std::vector<nlohmann::json> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) {
    lines.push_back(nlohmann::json::parse(line));
  }
  return lines;
}

TEST(DiagRecoverTest, MalformedCommandLinesAreUsageErrors) {
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"recover"},
                                             {"recover", "D"},
                                             {"recover", "--install-dir"},
                                             {"recover", "--dir", "D"}}) {
    EXPECT_EQ(run(args).code, kExitUsage) << args.size();
  }
}

// The three outcomes: nothing to do, a recovery, and a directory without a
// program that can be proven (a state line, the message, nothing moved).
TEST(DiagRecoverTest, PrintsOneLinePerActionThenTheState) {
  InstallFixture machine;
  machine.make_old_installation();
  const std::vector<std::string> args = {"recover", "--install-dir", machine.install_dir()};

  const DiagRun healthy = run(args);
  EXPECT_EQ(healthy.code, kExitSuccess) << healthy.err;
  EXPECT_EQ(healthy.out,
            "{\"action\":\"none\"}\n{\"state\":\"installed\",\"version\":\"1.0.0\"}\n");

  const std::string program = machine.in_dir(kMainProgramFileName);
  const std::string manifest = machine.in_dir(kInstallManifestFileName);
  ASSERT_TRUE(rename_path(program, program + ".velmo-update-backup"));
  ASSERT_TRUE(rename_path(manifest, manifest + ".velmo-update-backup"));
  const DiagRun recovered = run(args);
  EXPECT_EQ(recovered.code, kExitSuccess) << recovered.err;
  const std::vector<nlohmann::json> lines = json_lines(recovered.out);
  ASSERT_EQ(lines.size(), 3u) << recovered.out;
  EXPECT_EQ(lines[0], (nlohmann::json{{"action", "restored"},
                                      {"item", "manifest"},
                                      {"from", manifest + ".velmo-update-backup"},
                                      {"to", manifest}}));
  EXPECT_EQ(lines[1], (nlohmann::json{{"action", "restored"},
                                      {"item", "program"},
                                      {"from", program + ".velmo-update-backup"},
                                      {"to", program}}));
  EXPECT_EQ(lines[2], (nlohmann::json{{"state", "installed"}, {"version", "1.0.0"}}));
  EXPECT_TRUE(machine.old_installation_intact());

  ASSERT_TRUE(remove_file(manifest));
  const DiagRun refused = run(args);
  EXPECT_EQ(refused.code, kExitFailure);
  EXPECT_EQ(refused.out, "{\"state\":\"unrecovered\"}\n");
  EXPECT_EQ(refused.err,
            "安装目录中没有能确认的工作台主程序和安装清单，未做任何改动；请重新安装工作台。\n");
  EXPECT_EQ(InstallFixture::read_file_or_empty(program), InstallFixture::kOldProgram);
}

}  // namespace
}  // namespace velmo::diag
