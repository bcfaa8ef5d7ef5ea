#ifndef VELMO_UI_SCREEN_ACTIONS_H_
#define VELMO_UI_SCREEN_ACTIONS_H_

#include "ui/button_states.h"
#include "ui/ui_services.h"
#include "ui/ui_state.h"

namespace velmo {

// What the window does after a click or a close request.
enum class AfterInput {
  Repaint,
  DestroyWindow,
};

// The secondary button: a fresh environment check and policy fetch, back on
// Checking. `auto_continue` is left as it is, so a re-check from
// WaitingForExit still continues by itself.
void recheck(UiState& state, const UiServices& services);

// The choose-directory button: the folder dialog, then a check of the chosen
// directory. A cancelled dialog changes nothing.
void choose_directory(UiState& state, const UiServices& services);

// A click on one of the four buttons, by the current screen. Nothing but a
// repaint while a worker downloads or installs.
AfterInput click(UiState& state, Button button, const UiServices& services);

// The system close command or Esc: like the close button. True when the
// window is to be destroyed.
bool close_requested(const UiState& state);

}  // namespace velmo

#endif  // VELMO_UI_SCREEN_ACTIONS_H_
