#include "velmo-diag/diag_commands.h"
#include "diag_run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "../unit/bundle_builder.h"
#include "../unit/release_fixture.h"
#include "../unit/temp_dir.h"
#include "../unit/test_env.h"
#include "environment/install_location.h"
#include "product_files/install_manifest.h"

namespace velmo::diag {
namespace {

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

// A data root of its own and one installation of version 1.2.3.
class DiagInstallationTest : public testing::Test {
 protected:
  DiagInstallationTest()
      : program_data_("ProgramData", root_.join("data")), install_dir_(root_.join("IDE")) {
    EXPECT_TRUE(create_directories(install_dir_));
    program_ = path_join(install_dir_, kMainProgramFileName);
    test::write_file(program_, "MZ");
    EXPECT_TRUE(write_install_manifest(path_join(install_dir_, kInstallManifestFileName),
                                       install_dir_, program_, "1.2.3"));
  }

  test::TempDir root_{"velmo-diag"};
  test::ScopedEnv program_data_;
  test::ScopedReleaseStore releases_;
  std::string install_dir_;
  std::string program_;
};

TEST_F(DiagInstallationTest, ManifestPrintsTheFiveFieldsUnderTheirJsonNames) {
  const DiagRun r = run({"manifest", install_dir_});
  ASSERT_EQ(r.code, kExitSuccess) << r.err;
  const nlohmann::ordered_json expected = {
      {"commandLibraryPath", "embedded://frontend-bundle"},
      {"executablePath", program_},
      {"installPath", install_dir_},
      {"product", "VelmoQen工作台"},
      {"version", "1.2.3"},
  };
  EXPECT_EQ(r.out, expected.dump() + "\n");
}

TEST_F(DiagInstallationTest, ManifestOfAnUnrecognisedDirectoryFailsWithTheLaunchMessage) {
  const DiagRun r = run({"manifest", root_.path()});
  EXPECT_EQ(r.code, kExitFailure);
  EXPECT_TRUE(r.out.empty());
  EXPECT_EQ(r.err, "工作台安装清单或主程序不完整，无法安全启动。\n");
}

TEST_F(DiagInstallationTest, DiscoverFollowsTheRecord) {
  const DiagRun before = run({"discover"});
  ASSERT_EQ(before.code, kExitSuccess);
  const std::string default_dir = nlohmann::json::parse(before.out).at("installDir");
  EXPECT_TRUE(default_dir == "C:\\Program Files\\VelmoQen工作台" ||
              default_dir == "D:\\VelmoQen工作台")
      << default_dir;
  ASSERT_TRUE(record_install_location(install_dir_));
  const nlohmann::json recorded = {{"installDir", install_dir_}};
  EXPECT_EQ(run({"discover"}).out, recorded.dump() + "\n");
}

TEST_F(DiagInstallationTest, EnvPrintsTheReportAndTheStatusOfTheGivenDirectory) {
  const DiagRun r = run({"env", "--install-dir", install_dir_});
  ASSERT_EQ(r.code, kExitSuccess) << r.err;
  const nlohmann::ordered_json json = nlohmann::ordered_json::parse(r.out);
  std::vector<std::string> keys;
  for (const auto& item : json.items()) {
    keys.push_back(item.key());
  }
  EXPECT_EQ(keys, (std::vector<std::string>{"osLabel", "verdict", "supported", "present", "ready",
                                            "workbenchStatus"}));
  EXPECT_EQ(json.at("present").size(), 5u);
  EXPECT_EQ(json.at("ready").size(), 6u);
  // Installed, and no policy fetched in this process yet.
  EXPECT_EQ(json.at("workbenchStatus"), 1);
  EXPECT_EQ(json.at("present").at(4), false);

  const DiagRun elsewhere = run({"env", "--install-dir", root_.path()});
  EXPECT_EQ(nlohmann::json::parse(elsewhere.out).at("workbenchStatus"), 0);
}

TEST_F(DiagInstallationTest, EnvRatesTheDiscoveredLocationByDefault) {
  ASSERT_TRUE(record_install_location(install_dir_));
  releases_.store("1.2.3");
  const DiagRun r = run({"env"});
  ASSERT_EQ(r.code, kExitSuccess) << r.err;
  EXPECT_EQ(nlohmann::json::parse(r.out).at("workbenchStatus"), 2);
}

TEST_F(DiagInstallationTest, BundlePrintsTheVerifiedInstallSource) {
  const test::BuiltBundle built = test::build_bundle(test::BundleRecipe{});
  const std::string installer = root_.join("setup.package");
  test::write_file(
      installer, std::string(reinterpret_cast<const char*>(built.file.data()), built.file.size()));
  const std::string digest = test::sha256_hex(built.file);
  const std::string size = std::to_string(built.file.size());

  const DiagRun r = run({"bundle", "--installer", installer, "--version", "1.10.0", "--sha256",
                         digest, "--bytes", size});
  ASSERT_EQ(r.code, kExitSuccess) << r.err;
  const nlohmann::ordered_json json = nlohmann::ordered_json::parse(r.out);
  const std::string cache =
      path_join(path_join(path_join(path_join(root_.join("data"), "VelmoInstaller"), "downloads"),
                          "embedded-core"),
                "VelmoQenWorkbench-Core-v1.10.0.exe");
  const nlohmann::ordered_json expected = {{"path", cache},
                                           {"sha256", built.manifest.main_program.sha256},
                                           {"bytes", built.manifest.main_program.bytes},
                                           {"source", "embedded://verified-installer-bundle"}};
  EXPECT_EQ(json, expected);

  const DiagRun wrong = run({"bundle", "--installer", installer, "--version", "1.11.0", "--sha256",
                             digest, "--bytes", size});
  EXPECT_EQ(wrong.code, kExitFailure);
  EXPECT_EQ(wrong.err, "安装包中的固定助手更新清单与目标版本不一致。\n");
}

// Natively the stand-in and under Wine the real Restart Manager both answer
// "no process"; what this checks is the output form and the failure path.
TEST_F(DiagInstallationTest, InUsePrintsTheAnswerOrTheAssistantsMessage) {
  const DiagRun r = run({"in-use", program_});
  ASSERT_EQ(r.code, kExitSuccess) << r.err;
  EXPECT_EQ(r.out, "{\"inUse\":false,\"processId\":0}\n");
  EXPECT_TRUE(r.err.empty());

  const DiagRun directory = run({"in-use", install_dir_});
  EXPECT_EQ(directory.code, kExitFailure);
  EXPECT_TRUE(directory.out.empty());
  EXPECT_EQ(directory.err, "工作台程序不存在：" + *final_path_name(install_dir_) + "\n");

  const std::string missing = root_.join("missing.exe");
  const DiagRun absent = run({"in-use", missing});
  EXPECT_EQ(absent.code, kExitFailure);
  EXPECT_TRUE(absent.err.starts_with("无法确认工作台程序路径 " + missing + "：")) << absent.err;
}

// Every command that fetches the policy takes the rule for a plain-HTTP
// --endpoint, and a refusal comes before any network use: the port below
// would otherwise answer with a connection failure.
TEST(DiagTest, PlainHttpEndpointFollowsTheBuildsRule) {
  const std::string http = "http://127.0.0.1:1";
  const std::string refusal =
      "velmo-diag: this release build refuses the plain-HTTP endpoint " + http +
      ": use https://, or a build configured with VELMO_ALLOW_HTTP_POLICY_ORIGIN=ON\n";
  const test::TempDir root("velmo-diag-endpoint");
  const std::string missing_dir = root.join("IDE");
  const std::vector<std::vector<std::string>> commands = {
      {"policy", "--endpoint", http},
      {"install", "--install-dir", missing_dir, "--endpoint", http},
      {"launch", "--install-dir", missing_dir, "--endpoint", http},
  };
  for (const auto& args : commands) {
    const DiagRun refused = run_under(HttpEndpoints::kRefused, args);
    EXPECT_EQ(refused.code, kExitFailure) << args[0];
    EXPECT_EQ(refused.err, refusal) << args[0];
    EXPECT_TRUE(refused.out.empty()) << args[0] << ": " << refused.out;

    const DiagRun allowed = run_under(HttpEndpoints::kAllowed, args);
    EXPECT_EQ(allowed.err.find("refuses"), std::string::npos) << args[0] << ": " << allowed.err;
  }
  // With the rule allowing it, the policy command did go to the network.
  EXPECT_TRUE(
      run_under(HttpEndpoints::kAllowed, commands[0]).err.starts_with("连接正式更新服务失败："));
}

// Only plain HTTP is refused: an https endpoint is asked in every build.
TEST(DiagTest, HttpsEndpointIsAskedUnderEitherRule) {
  for (const HttpEndpoints rule : {HttpEndpoints::kRefused, HttpEndpoints::kAllowed}) {
    const DiagRun r = run_under(rule, {"policy", "--endpoint", "https://localhost:1"});
    EXPECT_EQ(r.code, kExitFailure);
    EXPECT_TRUE(r.err.starts_with("连接正式更新服务失败：")) << r.err;
  }
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
                                         UsageCase{"Sha256WithTwoFiles", {"sha256", "a", "b"}},
                                         UsageCase{"EnvUnknownOption", {"env", "--dir", "x"}},
                                         UsageCase{"EnvWithoutDirectory", {"env", "--install-dir"}},
                                         UsageCase{"ManifestWithoutDirectory", {"manifest"}},
                                         UsageCase{"DiscoverWithExtra", {"discover", "x"}},
                                         UsageCase{"BundleWithoutSize",
                                                   {"bundle", "--installer", "a", "--version",
                                                    "1.0.0", "--sha256", "x"}},
                                         UsageCase{"BundleWithBadSize",
                                                   {"bundle", "--installer", "a", "--version",
                                                    "1.0.0", "--sha256", "x", "--bytes", "-1"}},
                                         UsageCase{"InUseWithoutFile", {"in-use"}},
                                         UsageCase{"InUseWithTwoFiles", {"in-use", "a", "b"}}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velmo::diag
