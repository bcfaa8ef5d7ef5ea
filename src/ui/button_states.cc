#include "ui/button_states.h"

namespace velmo {

namespace {

bool worker_busy(const UiState& state) {
  return state.screen == Screen::Downloading || state.screen == Screen::InstallInProgress;
}

std::string ready_primary_label(const UiState& state) {
  if (!is_supported(state)) {
    return "系统不支持";
  }
  switch (state.workbench_state) {
    case 1:
      return "立即更新";
    case 2:
      return "打开程序";
    default:
      return "开始安装";
  }
}

}  // namespace

std::string secondary_label(const UiState& /*state*/) {
  return "重新检测";
}

bool secondary_enabled(const UiState& state) {
  return !worker_busy(state);
}

bool close_enabled(const UiState& state) {
  return !worker_busy(state);
}

std::string primary_label(const UiState& state) {
  switch (state.screen) {
    case Screen::Checking:
      return "正在检测";
    case Screen::Ready:
      return ready_primary_label(state);
    case Screen::Downloading:
      return "正在下载";
    case Screen::InstallInProgress:
      return "正在安装";
    case Screen::Finished:
      return "打开程序";
    case Screen::Failed:
      return "操作失败";
    case Screen::WaitingForExit:
      return "等待退出";
  }
  return {};
}

bool primary_active(const UiState& state) {
  switch (state.screen) {
    case Screen::Ready:
      return is_supported(state);
    case Screen::Finished:
      return true;
    default:
      return false;
  }
}

}  // namespace velmo
