#ifndef VELMO_APP_WORKER_EVENT_H_
#define VELMO_APP_WORKER_EVENT_H_

#include <cstdint>
#include <optional>
#include <string>

namespace velmo {

// The things the assistant installs, in display order. Values outside the
// list can arrive in an event and are treated like General.
enum class Component : uint32_t {
  General = 0,
  ServicePack1 = 1,
  Kb4490628 = 2,
  Kb4474419 = 3,
  WebView2Runtime = 4,
  Workbench = 5,
};

// The tag value is the variant's position; it is part of the event record.
enum class WorkerEventTag : uint32_t {
  PolicyReady = 0,
  PolicyFailed = 1,
  Progress = 2,
  Installing = 3,
  ComponentInstalled = 4,
  ComponentDownloaded = 5,
  InstallCompleted = 6,
  InstallFailed = 7,
  LaunchSucceeded = 8,
  LaunchFailed = 9,
};

// What a worker tells the window. Moved through the progress queue; fields a
// variant does not carry stay zero or empty.
struct WorkerEvent {
  WorkerEventTag tag = WorkerEventTag::PolicyReady;
  Component component = Component::General;
  uint32_t percent = 0;
  std::string message;

  static WorkerEvent policy_ready();
  static WorkerEvent policy_failed(std::string message);
  static WorkerEvent progress(Component component, uint32_t percent, std::string message);
  static WorkerEvent installing(Component component, std::string message);
  static WorkerEvent component_installed(Component component);
  static WorkerEvent component_downloaded(Component component);
  static WorkerEvent install_completed();
  static WorkerEvent install_failed(std::string message);
  static WorkerEvent launch_succeeded();
  static WorkerEvent launch_failed(std::string message);

  // A terminal event ends its run: the window stops listening to that queue.
  bool is_terminal() const;
};

// The variant's name, as diagnostics print it ("Progress", "InstallCompleted").
const char* worker_event_name(WorkerEventTag tag);

// Short label used in worker messages ("正在下载 {label} · ..."). For the
// workbench it names the target version, or "等待检测" when no release is
// known yet.
std::string component_short_label(Component component,
                                  const std::optional<std::string>& latest_version);

// The same, reading the latest version from the process's release store.
std::string component_short_label(Component component);

}  // namespace velmo

#endif  // VELMO_APP_WORKER_EVENT_H_
