#include "ui/main_view_builder.h"

#include "ui/button_states.h"
#include "ui/component_labels.h"
#include "ui/screen_texts.h"

namespace velmo {

namespace {

bool is_busy(Screen screen) {
  return screen == Screen::Downloading || screen == Screen::InstallInProgress;
}

}  // namespace

MainView build_main_view(const UiState& state, const TextInputs& inputs) {
  MainView view;
  view.busy = is_busy(state.screen);
  view.installing = state.screen == Screen::InstallInProgress;
  view.header_text = header_text(state);
  view.version_chip = version_chip_text(inputs);
  view.title = title_text(state);
  view.description = description_text(state);
  view.location_text = location_text(state);
  for (int k = 0; k < kComponentRowCount; ++k) {
    view.rows[k] = row(state, inputs, k);
  }
  view.status_line = status_line(state, inputs);
  view.secondary_label = secondary_label(state);
  view.secondary_enabled = secondary_enabled(state);
  view.primary_label = primary_label(state);
  view.primary_active = primary_active(state);
  view.close_enabled = close_enabled(state);
  // The folder can be changed whenever nothing is being downloaded or
  // installed, exactly like the other two secondary controls.
  view.choose_directory_enabled = !view.busy;
  view.footnote = footnote(state);
  view.progress = state.progress;
  view.install_sweep = state.install_sweep;
  view.intro_tick = state.intro_tick;
  return view;
}

}  // namespace velmo
