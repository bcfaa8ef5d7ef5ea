#include <gtest/gtest.h>

#include <sstream>

#include <nlohmann/json.hpp>

#include "diag_run.h"
#include "platform/file_system.h"
#include "product_files/install_manifest.h"
#include "product_files/launcher_layout.h"
#include "temp_dir.h"
#include "test_env.h"
#include "velmo-diag/diag_commands.h"

namespace velmo::diag {
namespace {

class DiagLauncherTest : public testing::Test {
 protected:
  DiagLauncherTest() {
    EXPECT_TRUE(create_directories(install_dir_));
    const std::string program = path_join(install_dir_, kMainProgramFileName);
    test::write_file(program, "MZ");
    EXPECT_TRUE(write_install_manifest(path_join(install_dir_, kInstallManifestFileName),
                                       install_dir_, program, "1.2.3"));
  }

  test::TempDir root_{"velmo-diag-launcher"};
  std::string install_dir_ = root_.join("IDE");
};

TEST_F(DiagLauncherTest, MalformedCommandLinesAreUsageErrors) {
  const std::vector<std::vector<std::string>> cases = {
      {"launcher"},
      {"launcher", install_dir_, "--assistant"},
      {"launcher", install_dir_, "--source", "x.exe"},
      {"launcher", install_dir_, "--assistant", "x.exe", "extra"},
  };
  for (const auto& args : cases) {
    const DiagRun r = run(args);
    EXPECT_EQ(r.code, kExitUsage) << args.size();
    EXPECT_TRUE(r.out.empty());
    EXPECT_FALSE(path_exists(launcher_layout(install_dir_).runtime_folder));
  }
}

TEST_F(DiagLauncherTest, FailuresPrintTheAssistantsMessage) {
  const DiagRun unrecognised = run({"launcher", root_.path()});
  EXPECT_EQ(unrecognised.code, kExitFailure);
  EXPECT_EQ(unrecognised.err, "工作台安装清单或主程序不完整，无法安全启动。\n");

  // Beside the test program there is no assistant to copy.
  const DiagRun no_assistant = run({"launcher", install_dir_});
  EXPECT_EQ(no_assistant.code, kExitFailure);
  EXPECT_TRUE(no_assistant.err.starts_with("读取校验文件失败：")) << no_assistant.err;
  EXPECT_TRUE(no_assistant.out.empty());
  EXPECT_FALSE(path_exists(launcher_layout(install_dir_).launcher));
}

#ifndef _WIN32
// Natively the desktop is $HOME/Desktop; a home of the test's own keeps the
// shortcut out of the real one.
TEST_F(DiagLauncherTest, PrintsTheInstalledLauncher) {
  const test::ScopedEnv home("HOME", root_.path());
  ASSERT_TRUE(create_directories(root_.join("Desktop")));
  const std::string assistant = root_.join("velmo-assistant");
  test::write_file(assistant, "MZ assistant");

  const DiagRun r = run({"launcher", install_dir_, "--assistant", assistant});
  ASSERT_EQ(r.code, kExitSuccess) << r.err;
  const std::string launcher = launcher_layout(install_dir_).launcher;
  const nlohmann::json expected = {{"launcher", launcher}};
  EXPECT_EQ(r.out, expected.dump() + "\n");
  EXPECT_EQ(test::read_file(launcher), "MZ assistant");
  EXPECT_TRUE(path_exists(path_join(root_.join("Desktop"), "Velmo Qen 工作台.lnk")));
}
#endif

}  // namespace
}  // namespace velmo::diag
