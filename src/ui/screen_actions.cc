#include "ui/screen_actions.h"

#include "ui/open_workbench.h"
#include "ui/start_action.h"

namespace velmo {

namespace {

void open_from_finished(UiState& state, const UiServices& services, AfterInput& after) {
  if (Status opened = open_workbench(state.install_dir_path(), services); !opened) {
    state.screen = Screen::Failed;
    state.message = std::move(opened.error());
    return;
  }
  after = AfterInput::DestroyWindow;
}

AfterInput click_primary(UiState& state, const UiServices& services) {
  AfterInput after = AfterInput::Repaint;
  if (state.screen == Screen::Ready) {
    start_action(state, services);
  } else if (state.screen == Screen::Finished) {
    open_from_finished(state, services, after);
  }
  return after;
}

}  // namespace

void recheck(UiState& state, const UiServices& services) {
  state.screen = Screen::Checking;
  state.progress = 4;
  state.message.reset();
  state.intro_tick = kIntroIdle;
  apply_environment_check(state, services.check_environment(state.install_dir_path()));
  services.start_policy_check();
  // The earlier answer stops counting at once.
  state.policy_ready = false;
}

void choose_directory(UiState& state, const UiServices& services) {
  const std::optional<std::string> chosen = services.choose_folder();
  if (!chosen || chosen->empty()) {
    return;
  }
  state.install_dir = InstallDir{*chosen, true};
  apply_environment_check(state, services.check_environment(*chosen));
  state.screen = Screen::Ready;
  state.progress = 100;
  state.message.reset();
  state.intro_tick = is_supported(state) ? 0 : kIntroIdle;
}

AfterInput click(UiState& state, Button button, const UiServices& services) {
  // While a worker downloads or installs every button is inert: a running
  // installation is never abandoned or restarted from the window.
  if (!close_enabled(state)) {
    return AfterInput::Repaint;
  }
  switch (button) {
    case Button::Close:
      return AfterInput::DestroyWindow;
    case Button::ChooseDirectory:
      choose_directory(state, services);
      return AfterInput::Repaint;
    case Button::Secondary:
      recheck(state, services);
      return AfterInput::Repaint;
    case Button::Primary:
      return click_primary(state, services);
  }
  return AfterInput::Repaint;
}

bool close_requested(const UiState& state) {
  return close_enabled(state);
}

}  // namespace velmo
