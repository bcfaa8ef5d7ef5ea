#include "app/worker_event.h"

#include <utility>

#include "network/release_store.h"

namespace velmo {

WorkerEvent WorkerEvent::policy_ready() {
  return {WorkerEventTag::PolicyReady};
}

WorkerEvent WorkerEvent::policy_failed(std::string message) {
  return {WorkerEventTag::PolicyFailed, Component::General, 0, std::move(message)};
}

WorkerEvent WorkerEvent::progress(Component component, uint32_t percent, std::string message) {
  return {WorkerEventTag::Progress, component, percent, std::move(message)};
}

WorkerEvent WorkerEvent::installing(Component component, std::string message) {
  return {WorkerEventTag::Installing, component, 0, std::move(message)};
}

WorkerEvent WorkerEvent::component_installed(Component component) {
  return {WorkerEventTag::ComponentInstalled, component};
}

WorkerEvent WorkerEvent::component_downloaded(Component component) {
  return {WorkerEventTag::ComponentDownloaded, component};
}

WorkerEvent WorkerEvent::install_completed() {
  return {WorkerEventTag::InstallCompleted};
}

WorkerEvent WorkerEvent::install_failed(std::string message) {
  return {WorkerEventTag::InstallFailed, Component::General, 0, std::move(message)};
}

WorkerEvent WorkerEvent::launch_succeeded() {
  return {WorkerEventTag::LaunchSucceeded};
}

WorkerEvent WorkerEvent::launch_failed(std::string message) {
  return {WorkerEventTag::LaunchFailed, Component::General, 0, std::move(message)};
}

bool WorkerEvent::is_terminal() const {
  switch (tag) {
    case WorkerEventTag::PolicyFailed:
    case WorkerEventTag::InstallCompleted:
    case WorkerEventTag::InstallFailed:
    case WorkerEventTag::LaunchSucceeded:
    case WorkerEventTag::LaunchFailed:
      return true;
    case WorkerEventTag::PolicyReady:
    case WorkerEventTag::Progress:
    case WorkerEventTag::Installing:
    case WorkerEventTag::ComponentInstalled:
    case WorkerEventTag::ComponentDownloaded:
      return false;
  }
  return false;
}

const char* worker_event_name(WorkerEventTag tag) {
  switch (tag) {
    case WorkerEventTag::PolicyReady:
      return "PolicyReady";
    case WorkerEventTag::PolicyFailed:
      return "PolicyFailed";
    case WorkerEventTag::Progress:
      return "Progress";
    case WorkerEventTag::Installing:
      return "Installing";
    case WorkerEventTag::ComponentInstalled:
      return "ComponentInstalled";
    case WorkerEventTag::ComponentDownloaded:
      return "ComponentDownloaded";
    case WorkerEventTag::InstallCompleted:
      return "InstallCompleted";
    case WorkerEventTag::InstallFailed:
      return "InstallFailed";
    case WorkerEventTag::LaunchSucceeded:
      return "LaunchSucceeded";
    case WorkerEventTag::LaunchFailed:
      return "LaunchFailed";
  }
  return "Unknown";
}

std::string component_short_label(Component component,
                                  const std::optional<std::string>& latest_version) {
  switch (component) {
    case Component::ServicePack1:
      return "Service Pack 1";
    case Component::Kb4490628:
      return "KB4490628";
    case Component::Kb4474419:
      return "KB4474419";
    case Component::WebView2Runtime:
      return "WebView2 运行环境";
    case Component::Workbench:
      return "VelmoQen工作台 v" + latest_version.value_or("等待检测");
    case Component::General:
      break;
  }
  return "安装组件";
}

std::string component_short_label(Component component) {
  std::optional<std::string> version;
  if (auto release = load_release(); release) {
    version = release->latest_version;
  }
  return component_short_label(component, version);
}

}  // namespace velmo
