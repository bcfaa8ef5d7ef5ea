#include "velmo-diag/diag_install.h"

#include <gtest/gtest.h>

#include "diag_run.h"

namespace velmo::diag {
namespace {

TEST(DiagInstallTest, EventsCarryOnlyTheirVariantsFields) {
  struct Case {
    WorkerEvent event;
    const char* json;
  };
  const Case cases[] = {
      {WorkerEvent::progress(Component::Workbench, 37, "正在下载 x"),
       R"({"event":"Progress","component":5,"percent":37,"message":"正在下载 x"})"},
      {WorkerEvent::installing(Component::WebView2Runtime, "正在联网安装"),
       R"({"event":"Installing","component":4,"message":"正在联网安装"})"},
      {WorkerEvent::component_downloaded(Component::WebView2Runtime),
       R"({"event":"ComponentDownloaded","component":4})"},
      {WorkerEvent::component_installed(Component::Workbench),
       R"({"event":"ComponentInstalled","component":5})"},
      {WorkerEvent::install_completed(), R"({"event":"InstallCompleted"})"},
      {WorkerEvent::install_failed("安装程序执行失败，错误码 1。"),
       R"({"event":"InstallFailed","message":"安装程序执行失败，错误码 1。"})"},
      {WorkerEvent::policy_ready(), R"({"event":"PolicyReady"})"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(worker_event_json(c.event).dump(), c.json);
  }
}

TEST(DiagInstallTest, MalformedCommandLinesAreUsageErrors) {
  const std::vector<std::vector<std::string>> cases = {
      {"install"},
      {"install", "--endpoint", "https://localhost"},
      {"install", "--install-dir"},
      {"install", "--install-dir", "D", "--webview2-wait-seconds", "soon"},
      {"install", "--install-dir", "D", "--webview2-wait-seconds", "-1"},
      {"install", "--install-dir", "D", "--colour", "blue"},
  };
  for (const auto& args : cases) {
    const DiagRun result = run(args);
    EXPECT_EQ(result.code, kExitUsage) << args.back();
    EXPECT_TRUE(result.out.empty());
  }
}

// The policy comes first: without it nothing is checked or installed.
TEST(DiagInstallTest, UnreachableEndpointFailsBeforeAnyEvent) {
  const DiagRun result = run({"install", "--install-dir", "D", "--endpoint", "http://127.0.0.1:1"});
  EXPECT_EQ(result.code, kExitFailure);
  EXPECT_TRUE(result.out.empty()) << result.out;
  EXPECT_FALSE(result.err.empty());
}

}  // namespace
}  // namespace velmo::diag
