#include "ui/start_action.h"

#include <utility>

#include "ui/component_labels.h"
#include "ui/text_inputs.h"
#include "ui/workbench_probe.h"

namespace velmo {

namespace {

void fail_with(UiState& state, std::string message) {
  state.screen = Screen::Failed;
  state.message = std::move(message);
}

void wait_for_exit(UiState& state) {
  // Once the workbench is gone the update goes on without another click.
  state.auto_continue = true;
  state.screen = Screen::WaitingForExit;
  state.current_component = Component::Workbench;
  state.exit_poll_ticks = 0;
  state.message = "正在等待旧工作台正常退出；退出后将自动继续更新。";
}

void start_installation(UiState& state, const UiServices& services) {
  const EnvironmentReport& report = *state.report;
  // present[] holds components 1..5 at index component-1.
  const bool webview2_present = report.present[3];
  services.start_installation(
      InstallationInputs{state.install_dir->path, webview2_present, report.present[4]});
  state.screen = Screen::Downloading;
  state.progress = 0;
  state.current_component = webview2_present ? Component::Workbench : Component::WebView2Runtime;
  const TextInputs inputs = text_inputs(services);
  state.message = "正在准备下载 " + component_display_label(state.current_component, inputs) + "。";
}

}  // namespace

bool start_action(UiState& state, const UiServices& services) {
  if (state.screen != Screen::Ready || !is_supported(state)) {
    return false;
  }
  state.intro_tick = kIntroIdle;
  if (!state.install_dir) {
    fail_with(state, kNoIdeInstallDir);
    return true;
  }
  state.is_update = state.workbench_state == 1;
  if (state.is_update) {
    Result<bool> in_use = probe_workbench_in_use(state, services);
    if (!in_use) {
      fail_with(state, std::move(in_use.error()));
      return true;
    }
    if (*in_use) {
      wait_for_exit(state);
      return true;
    }
  }
  state.auto_continue = false;
  if (components_to_install(state) == 0) {
    state.screen = Screen::Finished;
    state.progress = 100;
    state.message = "当前所需组件均已安装。";
    return true;
  }
  start_installation(state, services);
  return true;
}

}  // namespace velmo
