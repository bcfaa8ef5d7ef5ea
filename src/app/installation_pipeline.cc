#include "app/installation_pipeline.h"

#include <cstdio>
#include <map>
#include <thread>
#include <vector>

#include "app/event_sink.h"
#include "app/worker_event.h"
#include "environment/component_detection.h"

namespace velmo {

namespace {

using DownloadedFiles = std::map<Component, std::string>;

constexpr char kBootstrapperReady[] = "微软 WebView2 Evergreen 引导器已准备完成。";
constexpr char kInstallingRuntime[] = "正在联网安装微软 WebView2 Evergreen 运行环境，请勿关闭。";

std::vector<Component> work_list(const InstallationInputs& inputs) {
  std::vector<Component> list;
  if (!inputs.webview2_present) {
    list.push_back(Component::WebView2Runtime);
  }
  if (!inputs.workbench_current) {
    list.push_back(Component::Workbench);
  }
  return list;
}

uint32_t download_percent(uint64_t bytes_present, uint64_t size) {
  return static_cast<uint32_t>(bytes_present * 100 / (size == 0 ? 1 : size));
}

// "正在下载 {label} · {percent}% · {size} MB", the size in millions of bytes
// with one decimal.
std::string download_message(const std::string& label, uint32_t percent, uint64_t size) {
  char megabytes[32];
  std::snprintf(megabytes, sizeof(megabytes), "%.1f", static_cast<double>(size) / 1000000.0);
  return "正在下载 " + label + " · " + std::to_string(percent) + "% · " + megabytes + " MB";
}

Status obtain_bootstrapper(const PipelineServices& services,
                           const EventSink& events,
                           DownloadedFiles& files) {
  const Result<std::string> path = services.write_out_bootstrapper();
  if (!path) {
    return fail(path.error());
  }
  files[Component::WebView2Runtime] = *path;
  events.send(WorkerEvent::progress(Component::WebView2Runtime, 100, kBootstrapperReady));
  events.send(WorkerEvent::component_downloaded(Component::WebView2Runtime));
  return ok();
}

Status obtain_workbench_package(const PipelineServices& services,
                                const EventSink& events,
                                DownloadedFiles& files) {
  const Result<VerifiedRelease> release = services.load_release();
  if (!release) {
    return fail(release.error());
  }
  const DownloadItem item{workbench_installer_file_name(release->latest_version),
                          release->download_url, release->sha256, release->installer_bytes};
  const std::string label = component_short_label(Component::Workbench, release->latest_version);
  const uint64_t size = item.bytes;
  const DownloadProgress progress = [&events, &label, size](uint64_t bytes_present) {
    const uint32_t percent = download_percent(bytes_present, size);
    events.send(WorkerEvent::progress(Component::Workbench, percent,
                                      download_message(label, percent, size)));
  };
  const Result<std::string> path = services.download(item, progress);
  if (!path) {
    return fail(path.error());
  }
  files[Component::Workbench] = *path;
  events.send(WorkerEvent::component_downloaded(Component::Workbench));
  return ok();
}

// Obtains every file of the work list, verified, before anything is
// installed, so a failed download never leaves a half-installed machine.
Status obtain_files(const std::vector<Component>& list,
                    const PipelineServices& services,
                    const EventSink& events,
                    DownloadedFiles& files) {
  for (const Component component : list) {
    const Status obtained = component == Component::WebView2Runtime
                                ? obtain_bootstrapper(services, events, files)
                                : obtain_workbench_package(services, events, files);
    if (!obtained) {
      return obtained;
    }
  }
  return ok();
}

Result<std::string> take_file(DownloadedFiles& files, Component component) {
  const auto found = files.find(component);
  if (found == files.end()) {
    return fail(component_short_label(component) + " 下载结果丢失，已停止安装。");
  }
  std::string path = std::move(found->second);
  files.erase(found);
  return path;
}

// Checked at once, then every two seconds, until the limit has passed since
// the bootstrapper ended.
Status wait_for_runtime(const PipelineServices& services) {
  const auto bootstrapper_ended = services.clock.now();
  for (;;) {
    if (services.is_webview2_present()) {
      return ok();
    }
    if (services.clock.now() - bootstrapper_ended >= services.runtime_wait_limit) {
      return fail(kRuntimeNotDetected);
    }
    services.clock.sleep(kRuntimeCheckInterval);
  }
}

Status install_runtime(const PipelineServices& services,
                       const EventSink& events,
                       DownloadedFiles& files) {
  const Result<std::string> bootstrapper = take_file(files, Component::WebView2Runtime);
  if (!bootstrapper) {
    return fail(bootstrapper.error());
  }
  events.send(WorkerEvent::installing(Component::WebView2Runtime, kInstallingRuntime));
  if (auto ran = services.run_bootstrapper(*bootstrapper); !ran) {
    return ran;
  }
  if (auto detected = wait_for_runtime(services); !detected) {
    return detected;
  }
  events.send(WorkerEvent::component_installed(Component::WebView2Runtime));
  return ok();
}

Status install_workbench(const InstallationInputs& inputs,
                         const PipelineServices& services,
                         const EventSink& events,
                         DownloadedFiles& files) {
  const Result<std::string> package = take_file(files, Component::Workbench);
  if (!package) {
    return fail(package.error());
  }
  if (auto idle = services.ensure_workbench_not_running(inputs.install_dir); !idle) {
    return idle;
  }
  const char* action = services.is_recognised_installation(inputs.install_dir) ? "更新" : "安装";
  events.send(WorkerEvent::installing(
      Component::Workbench,
      std::string("正在") + action + "VelmoQen工作台到 " + inputs.install_dir + "。"));
  if (auto applied = services.apply_verified_installer(*package, inputs.install_dir); !applied) {
    return applied;
  }
  events.send(WorkerEvent::component_installed(Component::Workbench));
  return ok();
}

}  // namespace

RuntimeWaitClock system_runtime_wait_clock() {
  return RuntimeWaitClock{
      [] { return std::chrono::steady_clock::now(); },
      [](std::chrono::steady_clock::duration duration) { std::this_thread::sleep_for(duration); }};
}

Status run_installation(const InstallationInputs& inputs,
                        const EventSink& events,
                        const PipelineServices& services) {
  if (auto idle = services.ensure_workbench_not_running(inputs.install_dir); !idle) {
    return idle;
  }
  const std::vector<Component> list = work_list(inputs);
  DownloadedFiles files;
  if (auto obtained = obtain_files(list, services, events, files); !obtained) {
    return obtained;
  }
  if (!inputs.webview2_present) {
    if (auto installed = install_runtime(services, events, files); !installed) {
      return installed;
    }
  }
  if (!inputs.workbench_current) {
    if (auto installed = install_workbench(inputs, services, events, files); !installed) {
      return installed;
    }
  }
  if (services.is_recognised_installation(inputs.install_dir)) {
    if (auto launcher = services.install_launcher(inputs.install_dir); !launcher) {
      return launcher;
    }
  }
  events.send(WorkerEvent::install_completed());
  return ok();
}

}  // namespace velmo
