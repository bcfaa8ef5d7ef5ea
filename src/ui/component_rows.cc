#include "ui/component_rows.h"

#include "ui/component_labels.h"

namespace velmo {

namespace {

constexpr const char* kRowLabels[kComponentRowCount] = {
    "操作系统与架构", "Service Pack 1",    "KB4490628",
    "KB4474419",      "WebView2 运行环境", "VelmoQen工作台",
};

constexpr char kChecking[] = "正在检测…";

bool is_present(const UiState& state, int k) {
  // The old servicing packages are never required on a supported system.
  if (k <= 3) {
    return true;
  }
  return state.report->present[static_cast<size_t>(k - 1)];
}

bool reports_on(const UiState& state, int k) {
  const bool busy = state.screen == Screen::Downloading ||
                    state.screen == Screen::InstallInProgress ||
                    state.screen == Screen::WaitingForExit;
  return busy && static_cast<int>(state.current_component) == k;
}

bool in_step(const UiState& state, Screen screen, int k) {
  return state.screen == screen && static_cast<int>(state.current_component) == k;
}

IconState component_icon(const UiState& state, int k) {
  if (state.screen == Screen::Checking) {
    return IconState::kPending;
  }
  if (!is_supported(state)) {
    return IconState::kMissing;
  }
  if (is_present(state, k)) {
    return IconState::kOk;
  }
  if (reports_on(state, k) || state.report->ready[static_cast<size_t>(k)]) {
    return IconState::kPending;
  }
  return IconState::kMissing;
}

std::string downloading_text(const UiState& state, Component component, const TextInputs& inputs) {
  return "正在下载 · " + std::to_string(state.progress) + "% · " +
         download_size_text(component, inputs);
}

std::string installing_text(const char* verb, const TextInputs& inputs) {
  return std::string("正在") + verb + " · 已用时 " + elapsed_text(inputs.elapsed_seconds);
}

std::string workbench_status(const UiState& state, const TextInputs& inputs) {
  const std::string size = download_size_text(Component::Workbench, inputs);
  if (in_step(state, Screen::Downloading, 5)) {
    return downloading_text(state, Component::Workbench, inputs);
  }
  if (in_step(state, Screen::InstallInProgress, 5)) {
    return installing_text(state.is_update ? "更新" : "安装", inputs);
  }
  if (state.workbench_state == 0) {
    return "未安装 · v" + version_text(inputs) + " · 下载 " + size;
  }
  if (state.workbench_state == 2) {
    return "已是当前版本";
  }
  if (state.screen == Screen::WaitingForExit) {
    return "正在等待工作台正常退出";
  }
  return "已安装 · 可更新 · 下载 " + size;
}

std::string webview2_status(const UiState& state, const TextInputs& inputs) {
  if (component_icon(state, 4) == IconState::kOk) {
    return "已安装";
  }
  if (in_step(state, Screen::Downloading, 4)) {
    return downloading_text(state, Component::WebView2Runtime, inputs);
  }
  if (in_step(state, Screen::InstallInProgress, 4)) {
    return installing_text("安装", inputs);
  }
  if (!state.report->ready[4]) {
    return "未安装 · 下载 " + download_size_text(Component::WebView2Runtime, inputs);
  }
  return "已下载 · 待安装";
}

std::string component_status(const UiState& state, const TextInputs& inputs, int k) {
  if (state.screen == Screen::Checking) {
    return kChecking;
  }
  if (!is_supported(state)) {
    return "当前系统不支持";
  }
  if (k <= 3) {
    return "当前系统不需要";
  }
  return k == 5 ? workbench_status(state, inputs) : webview2_status(state, inputs);
}

ComponentRow system_row(const UiState& state) {
  ComponentRow row;
  row.label = kRowLabels[0];
  row.colour = kRowStatusColour;
  if (state.screen == Screen::Checking) {
    row.icon = IconState::kPending;
    row.status = kChecking;
    return row;
  }
  const bool supported = is_supported(state);
  row.icon = supported ? IconState::kOk : IconState::kMissing;
  row.status = state.report ? state.report->os_label : std::string();
  if (!supported) {
    row.colour = kUnsupportedColour;
  }
  return row;
}

}  // namespace

ComponentRow row(const UiState& state, const TextInputs& inputs, int k) {
  if (k < 0 || k >= kComponentRowCount) {
    return ComponentRow{};
  }
  if (k == 0) {
    return system_row(state);
  }
  return ComponentRow{component_icon(state, k), kRowLabels[k], component_status(state, inputs, k),
                      kRowStatusColour};
}

}  // namespace velmo
