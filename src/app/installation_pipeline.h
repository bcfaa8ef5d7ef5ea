#ifndef VELMO_APP_INSTALLATION_PIPELINE_H_
#define VELMO_APP_INSTALLATION_PIPELINE_H_

#include <chrono>
#include <functional>
#include <string>

#include "app/event_sink.h"
#include "network/downloader.h"
#include "network/release_store.h"
#include "platform/result.h"

namespace velmo {

// A run's inputs, copied from the window state when the run starts; the run
// never reads the window state itself.
struct InstallationInputs {
  std::string install_dir;
  bool webview2_present = false;
  bool workbench_current = false;
};

// How long the run waits for the WebView2 runtime to show up after its
// bootstrapper ended (the bootstrapper may hand the work to a service that
// finishes later), and how often it looks.
inline constexpr std::chrono::seconds kRuntimeWaitLimit{600};
inline constexpr std::chrono::seconds kRuntimeCheckInterval{2};

inline constexpr char kRuntimeNotDetected[] =
    "微软 WebView2 安装服务已经结束，但未检测到完整运行环境，已停止打开 IDE 安装程序。";

// Time as the runtime wait sees it; tests script both so nobody waits.
struct RuntimeWaitClock {
  std::function<std::chrono::steady_clock::time_point()> now;
  std::function<void(std::chrono::steady_clock::duration)> sleep;
};

// The system's steady clock and a real sleep.
RuntimeWaitClock system_runtime_wait_clock();

// Everything the run does outside its own logic. The real program uses
// default_pipeline_services(); tests replace single steps.
struct PipelineServices {
  std::function<Status(const std::string& install_dir)> ensure_workbench_not_running;
  // Whether the directory holds an installation of ours (its install
  // manifest is accepted).
  std::function<bool(const std::string& install_dir)> is_recognised_installation;
  std::function<Result<VerifiedRelease>()> load_release;
  // Obtains a verified file in the download directory; returns its path.
  std::function<Result<std::string>(const DownloadItem&, const DownloadProgress&)> download;
  // Writes the carried WebView2 bootstrapper out; returns its path.
  std::function<Result<std::string>()> write_out_bootstrapper;
  // Runs the written bootstrapper to its end.
  std::function<Status(const std::string& path)> run_bootstrapper;
  std::function<bool()> is_webview2_present;
  RuntimeWaitClock clock;
  std::chrono::steady_clock::duration runtime_wait_limit = kRuntimeWaitLimit;
  std::function<Status(const std::string& package, const std::string& install_dir)>
      apply_verified_installer;
  // Installs or refreshes the startup launcher and the desktop shortcut.
  std::function<Status(const std::string& install_dir)> install_launcher;
};

// Brings the computer to the offered workbench version, reporting to
// `events`: first every missing file is obtained and verified (nothing is
// installed while one is missing), then the WebView2 runtime and the
// workbench are installed in this order, then the launcher and shortcut are
// refreshed. On success it has sent InstallCompleted itself; on failure it
// returns the message and the worker sends InstallFailed.
Status run_installation(const InstallationInputs& inputs,
                        const EventSink& events,
                        const PipelineServices& services);

}  // namespace velmo

#endif  // VELMO_APP_INSTALLATION_PIPELINE_H_
