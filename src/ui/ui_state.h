#ifndef VELMO_UI_UI_STATE_H_
#define VELMO_UI_UI_STATE_H_

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "app/worker_event.h"
#include "environment/environment_report.h"

namespace velmo {

enum class Screen {
  Checking,
  Ready,
  Downloading,
  InstallInProgress,
  Finished,
  Failed,
  WaitingForExit,
};

struct InstallDir {
  std::string path;
  bool user_chosen = false;
};

inline constexpr uint32_t kIntroIdle = 0xFFFFFFFF;

// Installing or opening needs a directory; without one the flow stops here.
inline constexpr char kNoIdeInstallDir[] = "没有可用的 IDE 安装目录。";

// The window's state record. One instance, read and written on the window
// thread only; workers reach it solely through events.
struct UiState {
  Screen screen = Screen::Checking;
  bool launch_mode = false;
  uint32_t frame_counter = 0;
  bool policy_ready = false;
  bool is_update = false;
  uint8_t workbench_state = 0;
  bool auto_continue = false;
  bool open_after_finish = false;
  std::optional<InstallDir> install_dir;
  std::optional<std::string> message;
  Component current_component = Component::General;
  int32_t progress = 0;
  uint32_t intro_tick = kIntroIdle;
  uint32_t install_sweep = 0;
  uint32_t exit_poll_ticks = 0;
  std::optional<EnvironmentReport> report;

  std::optional<std::string> install_dir_path() const {
    return install_dir ? std::optional<std::string>(install_dir->path) : std::nullopt;
  }
};

// When the current installer step started; the window shows the elapsed time.
// Lock-protected because it lives beside the record, not in it.
class InstallStartTime {
 public:
  using Instant = std::chrono::steady_clock::time_point;

  void set(std::optional<Instant> instant);
  std::optional<Instant> get() const;

 private:
  mutable std::mutex mutex_;
  std::optional<Instant> instant_;
};

InstallStartTime& install_start_time();

// Writes a fresh environment check into the record: the report, the
// workbench's rating (when an install location was known), and the component
// the screen reports on. Whether the running action is an update stays as
// the start action set it: the finished screen still names what was done.
void apply_environment_check(UiState& state, const EnvironmentCheck& check);

// A report is present and says the system is supported.
bool is_supported(const UiState& state);

// How many components the start action still has to install: the WebView2
// runtime and the workbench, each when it is not present. The other rows
// are never required on a supported system.
int components_to_install(const UiState& state);

}  // namespace velmo

#endif  // VELMO_UI_UI_STATE_H_
