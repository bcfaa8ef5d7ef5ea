#ifndef VELMO_UI_BUTTON_STATES_H_
#define VELMO_UI_BUTTON_STATES_H_

#include <string>

#include "ui/ui_state.h"

namespace velmo {

// The window's four buttons as the screen logic sees them.
enum class Button {
  Close,
  ChooseDirectory,
  Secondary,
  Primary,
};

// The secondary button is always "重新检测".
std::string secondary_label(const UiState& state);

// Close, choose-directory and secondary are disabled exactly while a worker
// downloads or installs, so a running installation is never abandoned.
bool secondary_enabled(const UiState& state);
bool close_enabled(const UiState& state);

std::string primary_label(const UiState& state);

// Active only changes colours and the cursor; clicks follow the screen.
bool primary_active(const UiState& state);

}  // namespace velmo

#endif  // VELMO_UI_BUTTON_STATES_H_
