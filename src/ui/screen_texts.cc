#include "ui/screen_texts.h"

#include "ui/component_labels.h"

namespace velmo {

namespace {

const char* install_verb(const UiState& state) {
  return state.is_update ? "更新" : "安装";
}

std::string ready_title(const UiState& state) {
  switch (state.workbench_state) {
    case 1:
      return "发现可更新的工作台";
    case 2:
      return "当前已经是目标版本";
    default:
      return "环境检测完成";
  }
}

std::string ready_description(const UiState& state) {
  switch (state.workbench_state) {
    case 1:
      return "更新助手会等待旧工作台正常退出，并自动完成更新。";
    case 2:
      return "所需组件均已就绪，可以直接打开VelmoQen工作台。";
    default:
      return "当前电脑未安装工作台，将下载缺少的组件后完成安装。";
  }
}

std::string ready_status(const UiState& state) {
  if (!is_supported(state)) {
    return "当前系统不在支持范围，不会下载或安装组件";
  }
  if (state.workbench_state == 1) {
    return "检测完成 · 已安装工作台，可以在线更新";
  }
  const int missing = components_to_install(state);
  if (state.workbench_state == 2 && missing == 0) {
    return "检测完成 · 当前已经是目标版本";
  }
  return "检测完成 · 发现 " + std::to_string(missing) + " 项需要安装";
}

}  // namespace

std::string header_text(const UiState& state) {
  switch (state.screen) {
    case Screen::Downloading:
    case Screen::InstallInProgress:
      return state.is_update ? "正在更新" : "正在安装";
    case Screen::WaitingForExit:
      return "等待关闭程序";
    case Screen::Failed:
      return "操作未完成";
    case Screen::Checking:
    case Screen::Ready:
    case Screen::Finished:
      break;
  }
  return state.workbench_state == 1 ? "准备更新" : "准备安装";
}

std::string title_text(const UiState& state) {
  switch (state.screen) {
    case Screen::Checking:
      return "正在检查运行环境";
    case Screen::Ready:
      return ready_title(state);
    case Screen::Downloading:
      return "正在下载缺失组件";
    case Screen::InstallInProgress:
      return "正在安装当前组件";
    case Screen::Finished:
      return state.is_update ? "更新完成" : "安装完成";
    case Screen::Failed:
      return "操作未完成";
    case Screen::WaitingForExit:
      return "正在等待旧工作台退出";
  }
  return {};
}

std::string description_text(const UiState& state) {
  switch (state.screen) {
    case Screen::Checking:
      return "将根据当前 Windows 版本自动选择合适的安装方案。";
    case Screen::Ready:
      return ready_description(state);
    case Screen::Downloading:
      return "下载完成后会先校验文件，再开始安装。";
    case Screen::InstallInProgress:
      return "安装期间请勿关闭程序或断开电源。";
    case Screen::Finished:
      return state.is_update ? "VelmoQen工作台已经更新完成，可以重新打开程序。"
                             : "所需组件已经安装完成，可以开始使用VelmoQen工作台。";
    case Screen::Failed:
      return "已停止当前流程，没有通过校验的文件不会执行。";
    case Screen::WaitingForExit:
      return "请在工作台中完成保存并正常关闭；检测到退出后助手会自动继续更新。";
  }
  return {};
}

std::string status_line(const UiState& state, const TextInputs& inputs) {
  switch (state.screen) {
    case Screen::Checking:
      return "正在检测组件 · " + std::to_string(state.progress) + "%";
    case Screen::Ready:
      return ready_status(state);
    case Screen::Downloading:
      return state.message.value_or("正在下载：" +
                                    component_display_label(state.current_component, inputs));
    case Screen::InstallInProgress:
      // The Installing event's own message is kept but not shown: the
      // running clock says more.
      return std::string("正在") + install_verb(state) + " " +
             component_display_label(state.current_component, inputs) + " · 已用时 " +
             elapsed_text(inputs.elapsed_seconds) + " · 请勿关闭或断电";
    case Screen::Finished:
      return state.is_update ? "VelmoQen工作台已经更新完成" : "全部缺失组件已经安装完成";
    case Screen::Failed:
      return state.message.value_or("安装失败，请重新检测后再试。");
    case Screen::WaitingForExit:
      return state.message.value_or("正在等待旧工作台正常退出；退出后将自动继续更新。");
  }
  return {};
}

std::string footnote(const UiState& state) {
  if (state.screen == Screen::Failed) {
    return "可点击重新检测再次尝试；未通过 SHA256 校验的文件绝不会执行。";
  }
  if (state.screen == Screen::WaitingForExit) {
    return "工作台正在正常退出；助手确认进程结束后会自动继续更新。";
  }
  if (state.workbench_state == 1) {
    return "更新会先校验下载文件，并在替换前再次确认已安装程序没有运行。";
  }
  return "只下载当前电脑缺少的组件；下载完成后会先校验文件，再开始安装。";
}

std::string location_text(const UiState& state) {
  return state.install_dir ? state.install_dir->path : "尚未选择";
}

}  // namespace velmo
