#include "ui/ui_tick.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "ui/start_action.h"
#include "ui/ui_events.h"
#include "ui/workbench_probe.h"

namespace velmo {

namespace {

constexpr uint32_t kIntroLastTick = 34;
constexpr int32_t kCheckStep = 3;
// Without a policy the check cannot finish; the bar stops short of full.
constexpr int32_t kCheckCapWithoutPolicy = 94;

void finish_check(UiState& state, const UiServices& services) {
  state.progress = 100;
  const bool supported = is_supported(state);
  if (supported && state.workbench_state == 2) {
    const bool nothing_missing = components_to_install(state) == 0;
    state.screen = nothing_missing ? Screen::Finished : Screen::Ready;
    state.intro_tick = 0;
    if (!nothing_missing && state.auto_continue) {
      start_action(state, services);
    }
    return;
  }
  state.screen = Screen::Ready;
  state.intro_tick = supported ? 0 : kIntroIdle;
  if (state.auto_continue) {
    start_action(state, services);
  }
}

void advance_check(UiState& state, const UiServices& services) {
  const int32_t cap = state.policy_ready ? 100 : kCheckCapWithoutPolicy;
  state.progress = std::min(state.progress + kCheckStep, cap);
  if (state.policy_ready && state.progress >= 100) {
    finish_check(state, services);
  }
}

// True when a probe ran and resolved the wait (exit seen, or failure).
bool poll_for_exit(UiState& state, const UiServices& services) {
  const uint32_t before = state.exit_poll_ticks++;
  if (before + 1 < kExitProbeInterval) {
    return false;
  }
  state.exit_poll_ticks = 0;
  Result<bool> in_use = probe_workbench_in_use(state, services);
  if (!in_use) {
    state.screen = Screen::Failed;
    state.message = std::move(in_use.error());
    return true;
  }
  if (*in_use) {
    return false;
  }
  state.screen = Screen::Ready;
  state.message = "已检测到工作台退出，正在自动继续更新。";
  state.intro_tick = is_supported(state) ? 0 : kIntroIdle;
  if (state.auto_continue) {
    start_action(state, services);
  }
  return true;
}

bool advance_intro(UiState& state) {
  if (state.intro_tick > kIntroLastTick) {
    return false;
  }
  ++state.intro_tick;
  if (state.intro_tick > kIntroLastTick) {
    state.intro_tick = kIntroIdle;
  }
  return true;
}

}  // namespace

AfterTimer launch_tick(UiState& state) {
  const uint32_t before = state.frame_counter++;
  if (state.screen == Screen::Finished && before >= kStartupMinimumTicks) {
    return AfterTimer::DestroyWindow;
  }
  // Otherwise the startup window animates: repaint on every tick.
  return AfterTimer::Repaint;
}

bool tick(UiState& state, const UiServices& services, bool events_applied) {
  const Screen screen = state.screen;
  bool repaint =
      events_applied || screen == Screen::Checking || screen == Screen::InstallInProgress;
  switch (screen) {
    case Screen::Checking:
      advance_check(state, services);
      break;
    case Screen::InstallInProgress:
      state.install_sweep += 5;
      break;
    case Screen::WaitingForExit:
      repaint = poll_for_exit(state, services) || repaint;
      break;
    default:
      break;
  }
  repaint = advance_intro(state) || repaint;
  return repaint;
}

AfterTimer on_timer(UiState& state, ReceiverSlot& slot, const UiServices& services) {
  std::vector<WorkerEvent> events = slot.take_waiting();
  const bool events_applied = !events.empty();
  if (apply_events(state, std::move(events), slot, services) == AfterEvents::Quit) {
    return AfterTimer::Quit;
  }
  if (state.launch_mode) {
    return launch_tick(state);
  }
  return tick(state, services, events_applied) ? AfterTimer::Repaint : AfterTimer::Unchanged;
}

}  // namespace velmo
