#include "ui/ui_events.h"

#include <algorithm>
#include <utility>

#include "ui/open_workbench.h"

namespace velmo {

namespace {

constexpr char kUpdateFinished[] = "VelmoQen工作台已经更新完成。";
constexpr char kInstallFinished[] = "全部缺失组件已经安装完成。";

size_t component_index(Component component) {
  return static_cast<size_t>(component);
}

void mark_installed(UiState& state, Component component) {
  const size_t index = component_index(component);
  if (state.report) {
    if (index >= 1 && index <= 5) {
      state.report->present[index - 1] = true;
    }
    if (index <= 5) {
      state.report->ready[index] = true;
    }
  }
  if (component == Component::Workbench) {
    state.workbench_state = 2;
  }
  state.progress = 100;
}

AfterEvents finish_installation(UiState& state, const UiServices& services) {
  install_start_time().set(std::nullopt);
  state.screen = Screen::Finished;
  state.progress = 100;
  state.message = state.is_update ? kUpdateFinished : kInstallFinished;
  if (!std::exchange(state.open_after_finish, false)) {
    return AfterEvents::Continue;
  }
  if (!state.install_dir) {
    state.screen = Screen::Failed;
    state.message = kNoIdeInstallDir;
    return AfterEvents::Continue;
  }
  if (auto opened = open_workbench(state.install_dir_path(), services); !opened) {
    state.screen = Screen::Failed;
    state.message = opened.error();
    return AfterEvents::Continue;
  }
  return AfterEvents::Quit;
}

AfterEvents apply_one(UiState& state, WorkerEvent& event, const UiServices& services) {
  switch (event.tag) {
    case WorkerEventTag::PolicyReady:
      state.policy_ready = true;
      apply_environment_check(state, services.check_environment(state.install_dir_path()));
      state.message.reset();
      break;
    case WorkerEventTag::PolicyFailed:
      state.intro_tick = kIntroIdle;
      state.policy_ready = false;
      state.screen = Screen::Failed;
      state.message = std::move(event.message);
      break;
    case WorkerEventTag::Progress:
      install_start_time().set(std::nullopt);
      state.current_component = event.component;
      state.progress = static_cast<int32_t>(std::min<uint32_t>(event.percent, 100));
      state.screen = Screen::Downloading;
      state.message = std::move(event.message);
      break;
    case WorkerEventTag::Installing:
      state.install_sweep = 0;
      install_start_time().set(services.now());
      state.current_component = event.component;
      state.progress = 0;
      state.screen = Screen::InstallInProgress;
      state.message = std::move(event.message);
      break;
    case WorkerEventTag::ComponentInstalled:
      mark_installed(state, event.component);
      // The launch's update step is over: the startup window may be closed
      // again while the workbench starts.
      if (state.launch_mode && state.screen == Screen::InstallInProgress) {
        state.screen = Screen::Checking;
      }
      break;
    case WorkerEventTag::ComponentDownloaded:
      if (state.report && component_index(event.component) <= 5) {
        state.report->ready[component_index(event.component)] = true;
      }
      state.progress = 100;
      break;
    case WorkerEventTag::InstallCompleted:
      return finish_installation(state, services);
    case WorkerEventTag::InstallFailed:
      install_start_time().set(std::nullopt);
      state.screen = Screen::Failed;
      state.message = std::move(event.message);
      break;
    case WorkerEventTag::LaunchSucceeded:
      state.screen = Screen::Finished;
      state.message.reset();
      break;
    case WorkerEventTag::LaunchFailed:
      state.screen = Screen::Failed;
      state.message = std::move(event.message);
      break;
  }
  return AfterEvents::Continue;
}

}  // namespace

AfterEvents apply_events(UiState& state,
                         std::vector<WorkerEvent> events,
                         ReceiverSlot& slot,
                         const UiServices& services) {
  AfterEvents after = AfterEvents::Continue;
  for (WorkerEvent& event : events) {
    const bool terminal = event.is_terminal();
    if (apply_one(state, event, services) == AfterEvents::Quit) {
      after = AfterEvents::Quit;
    }
    if (terminal) {
      slot.drop();
    }
  }
  return after;
}

AfterEvents drain_and_apply(UiState& state, ReceiverSlot& slot, const UiServices& services) {
  return apply_events(state, slot.take_waiting(), slot, services);
}

}  // namespace velmo
